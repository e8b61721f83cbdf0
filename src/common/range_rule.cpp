#include "common/range_rule.h"

#include "common/number_text.h"
#include "common/prompter.h"

namespace velto {

std::optional<int> RangeRule::accept(QStringView text) const
{
    const std::optional<qint64> value = parseWholeNumber(text);
    if (!value || !contains(*value))
        return std::nullopt;
    return int(*value);
}

RangeDecision checkRangeText(QStringView text, const RangeRule& rule, Prompter& prompter)
{
    if (const std::optional<int> value = rule.accept(text))
        return { *value, std::nullopt };
    prompter.message(rule.message);
    return { rule.defaultValue, rule.defaultText() };
}

} // namespace velto

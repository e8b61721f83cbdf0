#include "modbus/timeout_rule.h"

#include "common/prompter.h"

namespace velto::modbus {

std::optional<int> parseWholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

TimeoutDecision checkTimeoutText(const QString& text, const TimeoutRule& rule, Prompter& prompter)
{
    const auto ms = parseWholeNumber(text);
    if (ms && *ms >= rule.minimumMs && *ms <= rule.maximumMs)
        return { *ms, std::nullopt };
    prompter.message(rule.message);
    return { rule.defaultMs, rule.defaultText() };
}

} // namespace velto::modbus

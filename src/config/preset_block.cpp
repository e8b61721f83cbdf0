#include "config/preset_block.h"

#include "common/number_text.h"
#include "config/config_conversions.h"

#include <array>
#include <functional>

namespace velto::config {

namespace {

constexpr int kFirstStartNumber = kBlockFirstRegister + 1; // start numbers count from 1

struct StartRule {
    int start;
    std::initializer_list<int> lengths;
};

// A range may not begin or end inside a two-word value and may not pass the unit word.
const std::array<StartRule, 6> kStartRules { {
    { 52, { 1, 3, 5, 6, 7, 8 } },
    { 53, { 2, 4, 5, 6, 7 } },
    { 55, { 2, 3, 4, 5 } },
    { 57, { 1, 2, 3 } },
    { 58, { 1, 2 } },
    { 59, { 1 } },
} };

const StartRule* ruleFor(int start)
{
    for (const StartRule& rule : kStartRules) {
        if (rule.start == start)
            return &rule;
    }
    return nullptr;
}

// Fills the words in [first, last] of the block in the evaluation order of the whole block.
BlockWords fill(const BlockInputs& in, int first, int last)
{
    BlockWords out;
    out.startRegister = kBlockFirstRegister + first;
    std::array<quint16, kBlockWords> block {};
    auto wanted = [&](int position) { return position >= first && position <= last; };

    if (wanted(word::kMeasurementUnit)) {
        const ListCode unit = measurementUnitCode(in.measurementUnit);
        if (!unit.code) {
            out.message = kIncorrectMeasurementUnit;
            out.clearMeasurementUnit = unit.clearList;
            return out;
        }
        block[word::kMeasurementUnit] = *unit.code;
    }
    if (wanted(word::kIndicationMode)) {
        const ListCode mode = indicationModeCode(in.indicationMode);
        if (!mode.code) {
            out.message = kIncorrectIndicationMode;
            out.clearIndicationMode = mode.clearList;
            return out;
        }
        block[word::kIndicationMode] = *mode.code;
    }
    if (wanted(word::kTankHeight)) {
        const std::optional<quint16> height = toInt16Word(in.tankHeight);
        if (!height) {
            out.message = kIncorrectTankHeight;
            return out;
        }
        block[word::kTankHeight] = *height;
    }
    const struct {
        int low;
        const QString& text;
        const QString& message;
    } pairs[]
        = { { word::k4mALow, in.fourMa, kIncorrect4mA }, { word::k20mALow, in.twentyMa, kIncorrect20mA } };
    for (const auto& pair : pairs) {
        if (!wanted(pair.low))
            continue;
        const std::optional<double> number = parseRealNumber(pair.text);
        const std::optional<TwoWords> words = number ? ConvertModbusValueTo2Integer(*number) : std::nullopt;
        if (!words) {
            out.message = pair.message;
            return out;
        }
        block[pair.low] = words->low;
        block[pair.low + 1] = words->high;
    }
    if (wanted(word::kSbd)) {
        const std::optional<quint16> sbd = toInt16Word(in.sbd);
        if (!sbd) {
            out.message = kIncorrectSbdInBlock;
            return out;
        }
        block[word::kSbd] = *sbd;
    }
    out.words = QList<quint16>(block.begin() + first, block.begin() + last + 1);
    return out;
}

} // namespace

BlockWords buildPresetBlock(const BlockInputs& inputs)
{
    return fill(inputs, 0, kBlockWords - 1);
}

bool isValidStart(int start)
{
    return ruleFor(start) != nullptr;
}

bool isValidLength(int start, int length)
{
    const StartRule* rule = ruleFor(start);
    return rule && std::find(rule->lengths.begin(), rule->lengths.end(), length) != rule->lengths.end();
}

BlockWords buildSelectedBlock(const BlockInputs& inputs, int start, int length)
{
    if (!isValidStart(start))
        return { kBlockFirstRegister, {}, kInvalidStartAddress };
    if (!isValidLength(start, length))
        return { kBlockFirstRegister, {}, kInvalidBufferLength };
    const int first = start - kFirstStartNumber;
    return fill(inputs, first, first + length - 1);
}

RangeDecision SetMBStartAddText_Change(const QString& text, Prompter& prompter)
{
    static const RangeRule rule { kStartMin, kStartMax, kDefaultStart, kStartMessage };
    return checkRangeText(text, rule, prompter);
}

RangeDecision SetMBLengthText_Change(const QString& text, Prompter& prompter)
{
    static const RangeRule rule { kLengthMin, kLengthMax, kDefaultLength, kLengthMessage };
    return checkRangeText(text, rule, prompter);
}

RangeDecision SetPeriodicalTankHeightText_Change(const QString& text, Prompter& prompter)
{
    static const RangeRule rule { kIntervalMinMs, kIntervalMaxMs, kDefaultIntervalMs, kIntervalMessage };
    return checkRangeText(text, rule, prompter);
}

} // namespace velto::config

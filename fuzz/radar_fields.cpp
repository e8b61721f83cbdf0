// Typed text in the radar window's checked boxes and its block-range boxes: every decision lies in
// the box's range, and a corrected block range is never empty nor outside its limits.
#include "radar/radar_fields.h"
#include "fuzz_input.h"

#include <QString>

#include <cstdlib>

using namespace velto::radar;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velto::fuzz::FuzzInput input(data, size);
    const quint8 steer = input.takeByte();
    const QString text = QString::fromUtf8(input.rest());
    for (const FieldRule* rule : { &kNumOfAutomeasurementRule, &kTankHeightRule, &kCentralFrequencyRule,
             &kBandRule, &kTrueLiquidHeightRule, &kRtsDelayRule, &kDistanceOffsetRule }) {
        const FieldDecision d = checkField(*rule, text);
        if (!(d.value >= rule->min && d.value <= rule->max))
            std::abort();
    }
    for (const BlockLimits* limits : { &kFftBlockLimits, &kRawBlockLimits }) {
        // Any valid range the boxes may hold before the change.
        const int span = limits->last - limits->first + 1;
        const int start = limits->first + steer % span;
        const BlockRange before { start, start + (steer / 2) % (limits->last - start + 1) };
        for (const BlockRange after :
            { checkBlockStart(*limits, before, text), checkBlockEnd(*limits, before, text) }) {
            if (after.start < limits->first || after.end > limits->last || after.start > after.end)
                std::abort();
        }
    }
    return 0;
}

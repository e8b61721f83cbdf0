#include "radar/radar_inputs.h"

namespace velto::radar {

void applyField(RadarInputs& in, const FieldRule& rule, double value)
{
    const int whole = int(value);
    if (&rule == &kNumOfAutomeasurementRule)
        in.numOfAutomeasurement = whole;
    else if (&rule == &kTankHeightRule)
        in.parameters.tankHeightMm = whole;
    else if (&rule == &kCentralFrequencyRule)
        in.parameters.centralFrequencyMHz = whole;
    else if (&rule == &kBandRule)
        in.parameters.bandMHz = whole;
    else if (&rule == &kTrueLiquidHeightRule)
        in.parameters.trueLiquidHeightMm = whole;
    else if (&rule == &kRtsDelayRule)
        in.rtsDelayCount = qint64(value);
    else if (&rule == &kDistanceOffsetRule)
        in.distanceOffsetM = value;
}

} // namespace velto::radar

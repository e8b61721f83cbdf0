#include "cli/radar_options.h"

#include "common/number_text.h"
#include "radar/radar_fields.h"
#include "radar/radar_frame.h"

#include <cstdio>

namespace velto::cli {

namespace {
constexpr int kMaxWaitMs = 600000;
constexpr int kMinWaitMs = 10;

QCommandLineOption valueOption(const char* name, const QString& description)
{
    return { QString::fromLatin1(name), description, QStringLiteral("V") };
}
} // namespace

RadarOptions::RadarOptions()
    : m_spectrumWait { { QStringLiteral("spectrum-wait"),
                           QStringLiteral("How long Timer_Rx waits for a spectrum reply, ms (5000)."),
                           QStringLiteral("MS") },
        kMinWaitMs, kMaxWaitMs, radar::RadarController::kSpectrumReplyMs }
    , m_timeWait { { QStringLiteral("time-wait"),
                       QStringLiteral("How long Timer_Rx waits for a time-domain reply, ms (20000)."),
                       QStringLiteral("MS") },
        kMinWaitMs, kMaxWaitMs, radar::RadarController::kTimeDomainReplyMs }
{
    m_fields = {
        { valueOption("central-frequency", "Central Frequency (MHz), 9500-10600 (10050)."),
            &radar::kCentralFrequencyRule },
        { valueOption("band", "Band (MHz), 50-1100 (1100)."), &radar::kBandRule },
        { valueOption("tank-height", "Tank Height (mm), 0-40000 (0)."), &radar::kTankHeightRule },
        { valueOption("true-liquid-height", "True Liquid Height (mm), 0-40000 (0)."),
            &radar::kTrueLiquidHeightRule },
        { valueOption("rts-delay", "RTS Delay, 0-10000000 (250000)."), &radar::kRtsDelayRule },
        { valueOption("distance-offset", "Distance Offset (m), -1 to 1 (0)."), &radar::kDistanceOffsetRule },
    };
    m_blocks = { valueOption("fft-start", "First FFT block to plot, 1-64 (1)."),
        valueOption("fft-end", "Last FFT block to plot, 1-64 (4)."),
        valueOption("raw-start", "First RAW block to plot, 9-235 (9)."),
        valueOption("raw-end", "Last RAW block to plot, 9-235 (12).") };
}

void RadarOptions::addTo(QCommandLineParser& parser) const
{
    for (const Field& f : m_fields)
        parser.addOption(f.option);
    for (const QCommandLineOption& o : m_blocks)
        parser.addOption(o);
    parser.addOption(m_spectrumWait.option);
    parser.addOption(m_timeWait.option);
}

bool RadarOptions::apply(
    const QCommandLineParser& parser, radar::RadarController& controller, QString& error) const
{
    radar::RadarInputs& in = controller.inputs();
    for (const Field& f : m_fields) {
        if (!parser.isSet(f.option))
            continue;
        // On the command line a whole number may be written in 0x-hexadecimal too.
        QString text = parser.value(f.option);
        if (const std::optional<qint64> whole = parseWholeNumber(text))
            text = QString::number(*whole);
        const radar::FieldDecision d = radar::checkField(*f.rule, text);
        if (d.message) {
            error = QStringLiteral("--%1: %2").arg(f.option.names().constFirst(), *d.message);
            return false;
        }
        radar::applyField(in, *f.rule, d.value);
    }
    // The window corrects a block range silently; on the command line a wrong one is an error.
    const auto blockRange = [&](int first, const radar::BlockLimits& limits, radar::BlockRange& range) {
        radar::BlockRange r = range;
        for (int i = 0; i < 2; ++i) {
            const QCommandLineOption& o = m_blocks.at(first + i);
            if (!parser.isSet(o))
                continue;
            const std::optional<qint64> v = parseWholeNumber(parser.value(o));
            if (!v || *v < limits.first || *v > limits.last) {
                error = QStringLiteral("--%1 wants a block from %2 to %3, not '%4'")
                            .arg(o.names().constFirst())
                            .arg(limits.first)
                            .arg(limits.last)
                            .arg(parser.value(o));
                return false;
            }
            (i == 0 ? r.start : r.end) = int(*v);
        }
        if (r.start > r.end) {
            error = QStringLiteral("the first block %1 lies after the last block %2").arg(r.start).arg(r.end);
            return false;
        }
        range = r;
        return true;
    };
    if (!blockRange(0, radar::kFftBlockLimits, in.fft) || !blockRange(2, radar::kRawBlockLimits, in.raw))
        return false;
    const auto spectrumWait = intValue(parser, m_spectrumWait, error);
    const auto timeWait = intValue(parser, m_timeWait, error);
    if (!spectrumWait || !timeWait)
        return false;
    radar::RadarController::ReplyWindows windows = controller.replyWindows();
    windows.spectrumMs = *spectrumWait;
    windows.timeDomainMs = *timeWait;
    controller.setReplyWindows(windows);
    return true;
}

void traceRadarLink(radar::RadarLink& link, serial::TappedByteLink& line)
{
    QObject::connect(&link, &radar::RadarLink::traffic, &link, [](bool sent, const QByteArray& bytes) {
        std::fprintf(stderr, "%s%s\n", sent ? "TX" : "RX", qPrintable(radar::hexDump(bytes)));
    });
    QObject::connect(&line, &serial::TappedByteLink::echoSkipped, &link, [](const QByteArray& bytes) {
        std::fprintf(stderr, "RX%s\techo of what was sent, skipped\n", qPrintable(radar::hexDump(bytes)));
    });
}

} // namespace velto::cli

// The calibration window against the simulated multi-sensor unit over a pseudo-terminal: a number of
// transceiver updates (6 by default, one per parameter row, then round again), each with a relay
// switched while its follow-up is due. Prints how long after each message the unit received its 'M'
// (the window waits 1,000 ms on a timer), the longest event-loop stall meanwhile, CPU time, and
// whether the unit ended up holding every code as it was sent.
#include "bench_prompter.h"
#include "calibration/calibration_message.h"
#include "calibration/calibration_session.h"
#include "calibration/calibration_state.h"
#include "serial/qt_byte_link.h"
#include "sim_line_setup.h"
#include "stall_meter.h"
#include "ui/multi_sensor_calibration_window.h"
#include "ui_multi_sensor_calibration_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDefaultUpdates = 6;
constexpr int kGuardMsPerUpdate = 10000;
constexpr quint32 kSeed = 7;

} // namespace

int main(int argc, char** argv)
{
    using namespace velto;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int updates = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : kDefaultUpdates;

    sim::SimulatedLine line;
    serial::QtByteLink link;
    if (!bench::openOnSimLine(line, link))
        return 1;
    velto::bench::BenchPrompter prompter;
    calibration::CalibrationState state;
    ui::MultiSensorCalibrationWindow window(link, state, prompter, {});
    window.show();
    window.Form_Load(true);
    Ui::FormMultiSensorCalibration& f = window.form();
    calibration::CalibrationSession& session = window.session();

    // When the unit received each parameter message and each follow-up.
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> parameterAtNs;
    std::vector<qint64> followUpAtNs;
    sim::CalibrationUnit& unit = line.simulator().calibrationUnit();
    unit.onMessage = [&](QByteArrayView frame, bool accepted) {
        if (!accepted)
            return;
        const char letter = frame[1];
        if (letter == calibration::kFollowUpLetter) {
            followUpAtNs.push_back(clock.nsecsElapsed());
            if (followUpAtNs.size() == size_t(updates))
                QCoreApplication::quit();
        } else if (letter >= 'A' && letter <= 'F')
            parameterAtNs.push_back(clock.nsecsElapsed());
    };

    QRandomGenerator random(kSeed);
    std::vector<int> sentCodes(calibration::kTransceiverParameterCount, -1);
    int done = 0;
    int mismatched = 0;
    int refused = 0;
    bench::StallMeter stalls;
    stalls.start();
    const double cpuBefore = bench::cpuMs();

    auto next = [&] {
        if (done == updates)
            return; // the last follow-up is still on its way to the unit
        const int row = done % calibration::kTransceiverParameterCount;
        f.RxTxParametersCombo->setCurrentIndex(row);
        const int code = f.TransceiverSlider->minimum()
            + int(
                random.bounded(quint32(f.TransceiverSlider->maximum() - f.TransceiverSlider->minimum() + 1)));
        f.TransceiverSlider->setValue(code);
        if (!f.TxRxParametersCommand->isEnabled()) {
            ++refused;
            QCoreApplication::quit();
            return;
        }
        f.TxRxParametersCommand->click();
        sentCodes[size_t(row)] = code;
        // A relay switched while the follow-up is due goes out at once.
        f.RelayNo1Check->click();
    };
    QObject::connect(&session, &calibration::CalibrationSession::sequenceFinished, [&](bool ok) {
        if (!ok)
            ++refused;
        ++done;
        // Let the pseudo-terminal deliver the 'M' before the next round begins.
        QTimer::singleShot(0, next);
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        std::fprintf(stderr, "hung\n");
        QCoreApplication::exit(1);
    });
    guard.start(kGuardMsPerUpdate * (updates + 1));
    QTimer::singleShot(0, next);
    const int loop = QCoreApplication::exec();
    const double longestStallMs = stalls.stopAndLongestMs();
    const double cpuMs = bench::cpuMs() - cpuBefore;

    for (int i = 0; i < calibration::kTransceiverParameterCount; ++i) {
        if (sentCodes[size_t(i)] < 0)
            continue;
        const auto bytes = calibration::codeBytes(quint16(sentCodes[size_t(i)]));
        if (unit.appliedTransceiverWord(i) != quint16(bytes.high << 8 | bytes.low))
            ++mismatched;
    }
    const size_t pairs = std::min(parameterAtNs.size(), followUpAtNs.size());
    double minMs = 0;
    double maxMs = 0;
    double sumMs = 0;
    for (size_t i = 0; i < pairs; ++i) {
        const double gap = (followUpAtNs[i] - parameterAtNs[i]) / bench::kNsPerMs;
        minMs = i == 0 ? gap : std::min(minMs, gap);
        maxMs = std::max(maxMs, gap);
        sumMs += gap;
    }
    std::printf("Updates=%d\n", done);
    std::printf("ParameterMessagesReceived=%zu\n", parameterAtNs.size());
    std::printf("FollowUpsReceived=%zu\n", followUpAtNs.size());
    std::printf("FollowUpGapMinMs=%.1f\n", minMs);
    std::printf("FollowUpGapMeanMs=%.1f\n", pairs ? sumMs / double(pairs) : 0.0);
    std::printf("FollowUpGapMaxMs=%.1f\n", maxMs);
    std::printf("LongestStallMs=%.1f\n", longestStallMs);
    std::printf("CpuMs=%.0f\n", cpuMs);
    std::printf("UnitAccepted=%d\n", unit.accepted());
    std::printf("UnitRejected=%d\n", unit.rejected());
    std::printf("CodesMismatched=%d\n", mismatched);
    std::printf("Refused=%d\n", refused);
    std::printf("Messages=%d\n", prompter.messages);
    const bool ok = loop == 0 && done == updates && pairs == size_t(updates) && mismatched == 0
        && refused == 0 && unit.rejected() == 0 && prompter.messages == 0;
    return ok ? 0 : 1;
}

#include "support/radar_rig.h"

#include <QElapsedTimer>
#include <QTimer>

namespace velto::test {

using radar::JudgedReply;
using radar::RadarCommand;
using radar::RadarController;

RadarRig::RadarRig(serial::ByteLink& link, const Clock& clock)
    : controller(link, clock)
    , timerRx(*controller.link().timerRx())
    , sequence(controller)
{
    sequence.setPacing({ 0, 0 });
    QObject::connect(
        &controller, &RadarController::boxesChanged, &controller, [this](const QList<BoxUpdate>& updates) {
            for (const BoxUpdate& b : updates)
                if (b.text)
                    boxes[b.objectName] = *b.text;
        });
    QObject::connect(&controller, &RadarController::replyJudged, &controller,
        [this](const JudgedReply& r) { judged << r; });
    QObject::connect(
        &controller, &RadarController::commandSent, &controller, [this](RadarCommand c) { sent << c; });
}

bool RadarRig::judge(void (RadarController::*click)(), int guardMs)
{
    QSignalSpy spy(&controller, &RadarController::replyJudged);
    QElapsedTimer clock;
    clock.start();
    (controller.*click)();
    while (!clock.hasExpired(guardMs)) {
        if (!spy.wait(int(guardMs - clock.elapsed())))
            return false;
        if (!spy.last().at(0).value<JudgedReply>().incomplete)
            return true;
    }
    return false;
}

bool RadarRig::waitEnded(int guardMs)
{
    return !ended.isEmpty() || ended.wait(guardMs);
}

bool RadarRig::waitSent(int count, int guardMs)
{
    QSignalSpy more(&controller, &RadarController::commandSent);
    while (sent.size() < count) {
        if (!more.wait(guardMs))
            return false;
    }
    return true;
}

FakeRadarRig::FakeRadarRig(qint64 startMs)
    : FakeRadarLine(startMs)
    , RadarRig(link, clock)
{
    link.opened = true;
}

FakeRadarRig::FakeRadarRig(const Clock& otherClock)
    : FakeRadarLine(0)
    , RadarRig(link, otherClock)
{
    link.opened = true;
}

void FakeRadarRig::answer(const QByteArray& bytes)
{
    link.receive(bytes);
    controller.link().Timer_Rx_Timer();
}

void FakeRadarRig::sensorAnswers(qint64 msPerCommand)
{
    QObject::connect(&controller, &RadarController::commandSent, &controller, [this, msPerCommand] {
        clock.advance(msPerCommand);
        const QByteArray frame = link.written.last();
        QTimer::singleShot(0, &controller, [this, frame] {
            for (const sim::RadarReply& r : sensor.respond(frame, 0)) {
                sensorReplies << r.bytes;
                link.receive(r.bytes);
            }
        });
    });
}

} // namespace velto::test

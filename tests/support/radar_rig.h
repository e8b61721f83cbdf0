#pragma once

#include "radar/measurement_sequence.h"
#include "sim/manual_clock.h"
#include "sim/radar_responder.h"
#include "support/fake_byte_link.h"

#include <QList>
#include <QMap>
#include <QSignalSpy>

namespace velto::test {

// The radar window's logic, its controller and its sequence, over a link the test chooses, with
// the boxes as the window would show them, every judged reply and every command sent. The sequence
// runs without the sensor's pauses.
class RadarRig {
public:
    RadarRig(serial::ByteLink& link, const Clock& clock);

    radar::RadarController controller;
    QTimer& timerRx;
    radar::MeasurementSequence sequence;
    QMap<QString, QString> boxes; // the last text of each box
    QList<radar::JudgedReply> judged;
    QList<radar::RadarCommand> sent;
    QSignalSpy ended { &sequence, &radar::MeasurementSequence::ended };

    // One command by hand; true once its reply was judged (an incomplete look does not count)
    // within `guardMs`.
    bool judge(void (radar::RadarController::*click)(), int guardMs);
    // True once the run has ended, at once if it already has.
    bool waitEnded(int guardMs);
    bool waitSent(int count, int guardMs);
};

// What a rig over a fake link stands on; a base, so that it is there before the controller.
struct FakeRadarLine {
    explicit FakeRadarLine(qint64 startMs)
        : clock(startMs)
    {
    }
    FakeByteLink link;
    sim::ManualClock clock;
    sim::RadarResponder sensor;
};

// The rig over an open fake link: the test answers each command itself with answer(), or lets the
// simulated sensor answer every command on the next turn of the loop.
class FakeRadarRig : public FakeRadarLine, public RadarRig {
public:
    // On the rig's manual clock, which stands at `startMs` until moved.
    explicit FakeRadarRig(qint64 startMs = 0);
    // On a clock of the test's.
    explicit FakeRadarRig(const Clock& clock);

    // The reply arrives, then Timer_Rx fires.
    void answer(const QByteArray& bytes);
    // From now on `sensor` answers each command; the manual clock moves `msPerCommand` as it goes out.
    void sensorAnswers(qint64 msPerCommand = 0);
    // Every reply the sensor sent, in order.
    QList<QByteArray> sensorReplies;
};

} // namespace velto::test

#include "calibration/calibration_message.h"
#include "calibration/calibration_session.h"
#include "support/fake_byte_link.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto;
using namespace velto::calibration;

namespace {

// Against hangs only: the follow-up is due after one second.
constexpr int kGuardMs = 10000;

struct Bench {
    Bench() { link.open("/dev/ttyFAKE0", "9600,n,8,1"); }
    test::FakeByteLink link;
    CalibrationState state;
    CalibrationSession session { link, state };
    QSignalSpy finished { &session, &CalibrationSession::sequenceFinished };
    QSignalSpy busy { &session, &CalibrationSession::busyChanged };
    QSignalSpy failures { &session, &CalibrationSession::sendFailed };

    QStringList sent() const
    {
        QStringList out;
        for (const QByteArray& m : link.written)
            out << hexBytes(m);
        return out;
    }
    bool waitFinished() { return !finished.isEmpty() || finished.wait(kGuardMs); }
};

const QString kFollowUp = QStringLiteral("21 4D 00 00 6C 40");
const QString kDefaults = QStringLiteral("21 4E 00 00 6F 40");

} // namespace

// The session's steps on a fake link: what goes out, in which order, what is remembered, and what
// happens when the link does not take a message.
class TstCalibrationSession : public QObject {
    Q_OBJECT
private slots:
    void transceiverUpdateIsFollowedByMOneSecondLater();
    void busyRefusesUpdatesButNotRelays();
    void defaultsAreRememberedOnceFollowedUp();
    void currentUpdateHasNoFollowUp();
    void nothingIsRememberedForAMessageNotSent();
    void lineLostBeforeTheFollowUpIsAFailure();
    void codesOutsideTheSliderAreNotSent();
};

void TstCalibrationSession::transceiverUpdateIsFollowedByMOneSecondLater()
{
    Bench b;
    QCOMPARE(b.session.followUpTimer().interval(), 1000);
    QCOMPARE(b.session.followUpTimer().timerType(), Qt::PreciseTimer);
    QVERIFY(b.session.updateTransceiver(TransceiverParameter::Gain, 70));
    QCOMPARE(b.sent(), QStringList { "21 42 46 00 25 40" });
    QVERIFY(b.session.busy());
    QCOMPARE(b.busy.size(), 1);
    QCOMPARE(b.state.code(TransceiverParameter::Gain), 70);
    QCOMPARE(b.state.ParameterIndex, 1);

    QVERIFY(b.waitFinished());
    QCOMPARE(b.finished.first().first().toBool(), true);
    QCOMPARE(b.sent(), (QStringList { "21 42 46 00 25 40", kFollowUp }));
    QVERIFY(!b.session.busy());
    QCOMPARE(b.busy.size(), 2);
    QVERIFY(b.failures.isEmpty());
}

void TstCalibrationSession::busyRefusesUpdatesButNotRelays()
{
    Bench b;
    QVERIFY(b.session.updateTransceiver(TransceiverParameter::Pulses, 14));
    QVERIFY(!b.session.updateTransceiver(TransceiverParameter::Gain, 80));
    QVERIFY(!b.session.updateCurrent(CurrentOutput::Io1At4mA, kFourMaCode));
    QVERIFY(!b.session.restoreDefaults());
    QVERIFY(b.session.switchRelay(2, true));
    QCOMPARE(b.sent(), (QStringList { "21 41 E0 00 80 40", "21 50 00 01 70 40" }));
    QCOMPARE(b.state.code(TransceiverParameter::Gain), 70);
    QVERIFY(b.waitFinished());
    QCOMPARE(b.sent().last(), kFollowUp);
    QVERIFY(b.session.updateTransceiver(TransceiverParameter::Gain, 80));
}

void TstCalibrationSession::defaultsAreRememberedOnceFollowedUp()
{
    Bench b;
    b.state.setCode(TransceiverParameter::TBMin, 4000);
    b.state.setCode(TransceiverParameter::PowerX10, 1);
    QSignalSpy remembered(&b.session, &CalibrationSession::rememberedChanged);
    QVERIFY(b.session.restoreDefaults());
    QCOMPARE(b.sent(), QStringList { kDefaults });
    QVERIFY(b.session.busy());
    QCOMPARE(b.state.code(TransceiverParameter::TBMin), 4000);
    QVERIFY(remembered.isEmpty());
    QVERIFY(b.waitFinished());
    QCOMPARE(b.sent(), (QStringList { kDefaults, kFollowUp }));
    QCOMPARE(b.state.codes, CalibrationState::defaultCodes());
    QCOMPARE(remembered.size(), 1);
}

void TstCalibrationSession::currentUpdateHasNoFollowUp()
{
    Bench b;
    QVERIFY(b.session.updateCurrent(CurrentOutput::Io2At20mA, kTwentyMaCode));
    QVERIFY(!b.session.busy());
    QCOMPARE(b.state.CurrentIndex, 4);
    QVERIFY(b.session.updateCurrent(CurrentOutput::Io3At4mA, 0x31C1));
    QCOMPARE(b.sent(), (QStringList { "21 4B DC A4 12 40", "21 49 31 C1 98 40" }));
    QVERIFY(!b.session.followUpTimer().isActive());
    QVERIFY(b.busy.isEmpty());
}

void TstCalibrationSession::nothingIsRememberedForAMessageNotSent()
{
    Bench b;
    b.link.close();
    QVERIFY(!b.session.updateTransceiver(TransceiverParameter::Gain, 99));
    QVERIFY(!b.session.switchRelay(3, true));
    QVERIFY(!b.session.restoreDefaults());
    QVERIFY(!b.session.updateCurrent(CurrentOutput::Io1At20mA, 100));
    QVERIFY(b.link.written.isEmpty());
    QVERIFY(!b.session.busy());
    QCOMPARE(b.state.code(TransceiverParameter::Gain), 70);
    QVERIFY(!b.state.relay(3));
    QCOMPARE(b.state.CurrentIndex, 0);
    QCOMPARE(b.failures.size(), 4);
    QCOMPARE(b.failures.first().first().toString(),
        QString("The calibration message 21 42 63 00 00 40 was not sent: the port is not open"));
}

void TstCalibrationSession::lineLostBeforeTheFollowUpIsAFailure()
{
    Bench b;
    b.state.setCode(TransceiverParameter::Gain, 200);
    QVERIFY(b.session.restoreDefaults());
    b.link.close();
    QVERIFY(b.waitFinished());
    QCOMPARE(b.finished.first().first().toBool(), false);
    QCOMPARE(b.failures.size(), 1);
    QVERIFY(!b.session.busy());
    // The unit never had its defaults followed up: the old values stay on show.
    QCOMPARE(b.state.code(TransceiverParameter::Gain), 200);
    QCOMPARE(b.sent(), QStringList { kDefaults });
}

void TstCalibrationSession::codesOutsideTheSliderAreNotSent()
{
    Bench b;
    QVERIFY(!b.session.updateTransceiver(TransceiverParameter::Pulses, 41));
    QVERIFY(!b.session.updateTransceiver(TransceiverParameter::TBMin, 169));
    QVERIFY(!b.session.updateTransceiver(TransceiverParameter::PowerX10, 2));
    QVERIFY(!b.session.updateCurrent(CurrentOutput::Io1At4mA, 65536));
    QVERIFY(!b.session.updateCurrent(CurrentOutput::Io1At4mA, -1));
    QVERIFY(!b.session.switchRelay(kMultiSensorRelay + 1, true));
    QVERIFY(b.link.written.isEmpty());
    QVERIFY(!b.session.busy());
}

QTEST_GUILESS_MAIN(TstCalibrationSession)
#include "tst_calibration_session.moc"

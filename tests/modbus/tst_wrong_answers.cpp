#include "modbus/qt_modbus_master.h"
#include "support/scripted_rtu_peer.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using velto::modbus::ModbusResult;
using velto::modbus::QtModbusMaster;
using velto::test::ScriptedRtuPeer;
namespace vm = velto::modbus;

// Freed memory is scribbled over, so a Modbus stack that runs on after its owner was deleted from a
// callback reads garbage and fails loudly instead of by luck.
extern "C" const char* __asan_default_options()
{
    return "max_free_fill_size=4096:free_fill_byte=190";
}

namespace {

constexpr auto kSettings = "9600,n,8,1";
constexpr int kSlave = 1;
constexpr int kRegisterCount = 256;
constexpr quint16 kValueBase = 1000;
// Where an answer is expected the master waits patiently, so a starved machine cannot turn an
// answer into a time-out; only the cases that expect a time-out wait briefly.
constexpr int kPatientRxMs = 5000;
constexpr int kShortRxMs = 250;
// Generous bounds that only catch hangs, never performance.
constexpr int kHangGuardMs = 20000;

struct Group {
    int start;
    int count;
};
// The single-sensor cycle's static, dynamic and information groups.
constexpr Group kStatic { 51, 16 };
constexpr Group kDynamic { 0, 8 };
constexpr Group kInformation { 192, 5 };

} // namespace

class TstWrongAnswers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readsOfAnotherSizeFail_data();
    void readsOfAnotherSizeFail();
    void heldBackAnswerIsNotTakenForTheNextRequest();
    void lateAnswersNeverCount();
    void answerAsAnotherSlaveIsNoAnswer();
    void writeEchoMustFit_data();
    void writeEchoMustFit();
    void requestsNamingNoSingleSlaveAreRefused_data();
    void requestsNamingNoSingleSlaveAreRefused();
    void callbackMayDeleteTheMaster_data();
    void callbackMayDeleteTheMaster();
    void lineLossIsReportedOnce_data();
    void lineLossIsReportedOnce();

private:
    std::optional<ModbusResult> read(Group group, int slave = kSlave);
    std::optional<ModbusResult> run(const std::function<void(QObject*, QtModbusMaster::Done)>& issue);

    std::unique_ptr<ScriptedRtuPeer> m_peer;
    std::unique_ptr<QtModbusMaster> m_master;
};

void TstWrongAnswers::init()
{
    m_peer = std::make_unique<ScriptedRtuPeer>(kSlave);
    QVERIFY(m_peer->isValid());
    for (int i = 0; i < kRegisterCount; ++i)
        m_peer->registers << quint16(kValueBase + i);
    m_master = std::make_unique<QtModbusMaster>();
    m_master->setRxTimeout(kPatientRxMs);
    QVERIFY2(m_master->openPort(m_peer->devicePath(), kSettings), qPrintable(m_master->lastErrorText()));
}

void TstWrongAnswers::cleanup()
{
    m_master.reset();
    m_peer.reset();
}

std::optional<ModbusResult> TstWrongAnswers::run(
    const std::function<void(QObject*, QtModbusMaster::Done)>& issue)
{
    std::optional<ModbusResult> got;
    int calls = 0;
    QObject context;
    issue(&context, [&](const ModbusResult& r) {
        got = r;
        ++calls;
    });
    if (!QTest::qWaitFor([&] { return calls > 0; }, kHangGuardMs) || calls != 1)
        return std::nullopt;
    return got;
}

std::optional<ModbusResult> TstWrongAnswers::read(Group group, int slave)
{
    return run([&](QObject* ctx, auto done) {
        m_master->readRegisters(slave, group.start, group.count, ctx, std::move(done));
    });
}

void TstWrongAnswers::readsOfAnotherSizeFail_data()
{
    QTest::addColumn<int>("countShift");
    QTest::addColumn<QString>("reason");
    QTest::newRow("one register short") << -1 << "7 registers received for 8 requested";
    QTest::newRow("one register more") << 1 << "9 registers received for 8 requested";
}

void TstWrongAnswers::readsOfAnotherSizeFail()
{
    QFETCH(int, countShift);
    QFETCH(QString, reason);
    ScriptedRtuPeer::Answer wrong;
    wrong.countShift = countShift;
    m_peer->script << wrong;

    const auto answer = read(kDynamic);
    QVERIFY(answer);
    QCOMPARE(answer->status, int(vm::StatusInvalidResponse));
    QVERIFY(answer->words.isEmpty());
    QVERIFY2(answer->errorText.contains(reason), qPrintable(answer->errorText));
    QCOMPARE(m_master->lastErrorText(), answer->errorText);

    // The slave is fine again: the next read is whole.
    const auto next = read(kDynamic);
    QVERIFY(next && next->ok());
    QCOMPARE(next->words.size(), kDynamic.count);
    QCOMPARE(next->words.first(), quint16(kValueBase));
}

void TstWrongAnswers::heldBackAnswerIsNotTakenForTheNextRequest()
{
    // The static group's answer comes only right before the dynamic group's own answer.
    ScriptedRtuPeer::Answer held;
    held.holdBack = true;
    m_peer->script << held;

    m_master->setRxTimeout(kShortRxMs);
    const auto first = read(kStatic);
    QVERIFY(first);
    QCOMPARE(first->status, int(vm::StatusTimeout));
    m_master->setRxTimeout(kPatientRxMs);

    const auto second = read(kDynamic);
    QVERIFY(second);
    QCOMPARE(second->status, int(vm::StatusInvalidResponse));
    QVERIFY2(
        second->errorText.contains("16 registers received for 8 requested"), qPrintable(second->errorText));

    // What was left on the line (the dynamic group's own answer) is not taken for the next request.
    const auto third = read(kInformation);
    QVERIFY(third && third->ok());
    QCOMPARE(third->words.size(), kInformation.count);
    QCOMPARE(third->words.first(), quint16(kValueBase + kInformation.start));
}

void TstWrongAnswers::lateAnswersNeverCount()
{
    // Every answer arrives well after its receive time-out, while the next request already waits.
    constexpr int kLateRxMs = 400;
    constexpr int kLateByMs = 300;
    m_master->setRxTimeout(kLateRxMs);
    m_peer->otherwise.delayMs = kLateRxMs + kLateByMs;
    QList<int> statuses;
    for (Group group : { kStatic, kDynamic, kInformation, kStatic, kDynamic }) {
        const auto answer = read(group);
        QVERIFY(answer);
        statuses << answer->status;
        QVERIFY2(!answer->ok(), qPrintable(QStringLiteral("group at %1 counted good").arg(group.start)));
    }
    QVERIFY2(statuses.contains(int(vm::StatusTimeout)), qPrintable(QString::number(statuses.first())));
}

void TstWrongAnswers::answerAsAnotherSlaveIsNoAnswer()
{
    ScriptedRtuPeer::Answer other;
    other.slaveShift = 1;
    m_peer->script << other;
    m_master->setRxTimeout(kShortRxMs);
    const auto answer = read(kDynamic);
    QVERIFY(answer);
    QCOMPARE(answer->status, int(vm::StatusTimeout));
    QVERIFY2(answer->errorText.contains("did not fit"), qPrintable(answer->errorText));
    QCOMPARE(m_peer->requests.size(), 1);
}

void TstWrongAnswers::writeEchoMustFit_data()
{
    QTest::addColumn<bool>("single");
    QTest::addColumn<int>("registerShift");
    QTest::addColumn<int>("echoCountShift");
    QTest::addColumn<QString>("reason"); // empty: the echo fits
    QTest::newRow("single, right echo") << true << 0 << 0 << QString();
    QTest::newRow("R52 acknowledged as R53") << true << 1 << 0 << "register 52 instead of 51";
    QTest::newRow("two values, right echo") << false << 0 << 0 << QString();
    QTest::newRow("two values acknowledged as five") << false << 0 << 3 << "5 registers instead of 2";
    QTest::newRow("two values at another register") << false << -1 << 0 << "register 51 instead of 52";
}

void TstWrongAnswers::writeEchoMustFit()
{
    QFETCH(bool, single);
    QFETCH(int, registerShift);
    QFETCH(int, echoCountShift);
    QFETCH(QString, reason);
    ScriptedRtuPeer::Answer how;
    how.registerShift = registerShift;
    how.echoCountShift = echoCountShift;
    m_peer->script << how;

    const auto answer = run([&](QObject* ctx, auto done) {
        if (single)
            m_master->writeRegister(kSlave, 51, 6000, ctx, std::move(done));
        else
            m_master->writeRegisters(kSlave, 52, { 0x1170, 0x0001 }, ctx, std::move(done));
    });
    QVERIFY(answer);
    if (reason.isEmpty()) {
        QVERIFY2(answer->ok(), qPrintable(answer->errorText));
        return;
    }
    QCOMPARE(answer->status, int(vm::StatusInvalidResponse));
    QVERIFY2(answer->errorText.contains(reason), qPrintable(answer->errorText));
}

void TstWrongAnswers::requestsNamingNoSingleSlaveAreRefused_data()
{
    QTest::addColumn<int>("slave");
    QTest::newRow("broadcast") << 0;
    QTest::newRow("256 wraps to broadcast") << 256;
    QTest::newRow("negative") << -1;
}

void TstWrongAnswers::requestsNamingNoSingleSlaveAreRefused()
{
    QFETCH(int, slave);
    const auto answer = read(kDynamic, slave);
    QVERIFY(answer);
    QCOMPARE(answer->status, int(vm::StatusBadAddress));
    QVERIFY(answer->words.isEmpty());
    QVERIFY2(answer->errorText.startsWith("Request not sent"), qPrintable(answer->errorText));
    QCOMPARE(m_master->lastErrorText(), answer->errorText);
    auto write = run([&](QObject* ctx, auto done) { m_master->writeRegister(slave, 51, 1, ctx, done); });
    QVERIFY(write && write->status == vm::StatusBadAddress);
    QTest::qWait(kShortRxMs / 5);
    QVERIFY(m_peer->requests.isEmpty());
    QVERIFY(!m_master->busy());
}

void TstWrongAnswers::callbackMayDeleteTheMaster_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::newRow("answered") << "answered";
    QTest::newRow("short answer") << "short";
    QTest::newRow("timed out") << "silent";
    QTest::newRow("refused") << "refused";
    QTest::newRow("line lost") << "lost";
}

void TstWrongAnswers::callbackMayDeleteTheMaster()
{
    QFETCH(QString, outcome);
    ScriptedRtuPeer::Answer how;
    how.silent = outcome == "silent" || outcome == "lost";
    how.countShift = outcome == "short" ? -1 : 0;
    m_peer->script << how;
    if (outcome == "silent")
        m_master->setRxTimeout(kShortRxMs);

    bool called = false;
    QSignalSpy destroyed(m_master.get(), &QObject::destroyed);
    m_master->readRegisters(
        outcome == "refused" ? 0 : kSlave, kDynamic.start, kDynamic.count, this, [&](const ModbusResult&) {
            called = true;
            m_master.reset();
        });
    if (outcome == "lost") {
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->requests.size(), 1, kHangGuardMs);
        m_peer->closeLine();
    }
    QTRY_VERIFY_WITH_TIMEOUT(called, kHangGuardMs);
    QCOMPARE(destroyed.size(), 1);
    // Whatever the stack still had queued runs now, against a master that is gone.
    QTest::qWait(kShortRxMs);
    QVERIFY(!m_master);
}

void TstWrongAnswers::lineLossIsReportedOnce_data()
{
    QTest::addColumn<bool>("duringRequest");
    QTest::newRow("idle line") << false;
    QTest::newRow("request out") << true;
}

void TstWrongAnswers::lineLossIsReportedOnce()
{
    QFETCH(bool, duringRequest);
    QSignalSpy lost(m_master.get(), &QtModbusMaster::lineLost);
    std::optional<ModbusResult> pending;
    if (duringRequest) {
        m_master->setRxTimeout(kHangGuardMs / 2);
        m_peer->otherwise.silent = true;
        m_master->readRegisters(
            kSlave, kDynamic.start, kDynamic.count, this, [&](const ModbusResult& r) { pending = r; });
        QTRY_COMPARE_WITH_TIMEOUT(m_peer->requests.size(), 1, kHangGuardMs);
    }
    m_peer->closeLine();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, kHangGuardMs);
    QVERIFY(!m_master->portOpen());
    const QString text = lost.first().first().toString();
    QVERIFY2(text.startsWith("Serial line lost"), qPrintable(text));
    QCOMPARE(m_master->lastErrorText(), text);
    if (duringRequest) {
        QTRY_VERIFY_WITH_TIMEOUT(pending.has_value(), kHangGuardMs);
        QCOMPARE(pending->status, int(vm::StatusLineLost));
    }

    // Later requests fail at once as "not open"; the loss itself is not reported again.
    const auto after = read(kDynamic);
    QVERIFY(after);
    QCOMPARE(after->status, int(vm::StatusNotOpen));
    QTest::qWait(kShortRxMs);
    QCOMPARE(lost.size(), 1);
}

QTEST_GUILESS_MAIN(TstWrongAnswers)
#include "tst_wrong_answers.moc"

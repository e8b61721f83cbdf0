#include "serial/own_echo.h"
#include "support/scripted_rtu_peer.h"
#include "support/serial_rtu_master.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using velto::modbus::ModbusResult;
using velto::modbus::RtuMaster;
using velto::test::ScriptedRtuPeer;
using velto::test::SerialRtuMaster;
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
    void faultyLines_data();
    void faultyLines();
    void lateAnswerAndTheNext_data();
    void lateAnswerAndTheNext();
    void doubledAnswer_data();
    void doubledAnswer();

private:
    std::optional<ModbusResult> read(Group group, int slave = kSlave);
    std::optional<ModbusResult> run(const std::function<void(QObject*, RtuMaster::Done)>& issue);

    std::unique_ptr<ScriptedRtuPeer> m_peer;
    std::unique_ptr<SerialRtuMaster> m_master;
};

void TstWrongAnswers::init()
{
    m_peer = std::make_unique<ScriptedRtuPeer>(kSlave);
    QVERIFY(m_peer->isValid());
    for (int i = 0; i < kRegisterCount; ++i)
        m_peer->registers << quint16(kValueBase + i);
    m_master = std::make_unique<SerialRtuMaster>();
    m_master->setRxTimeout(kPatientRxMs);
    QVERIFY2(m_master->openPort(m_peer->devicePath(), kSettings), qPrintable(m_master->lastErrorText()));
}

void TstWrongAnswers::cleanup()
{
    m_master.reset();
    m_peer.reset();
}

std::optional<ModbusResult> TstWrongAnswers::run(const std::function<void(QObject*, RtuMaster::Done)>& issue)
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
    QSignalSpy lost(m_master.get(), &RtuMaster::lineLost);
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

void TstWrongAnswers::faultyLines_data()
{
    QTest::addColumn<bool>("echoingLine");
    QTest::addColumn<bool>("removeEcho");
    QTest::addColumn<QByteArray>("before"); // bytes right before the answer
    QTest::addColumn<int>("pieceBytes"); // the answer in pieces of this size, 0 whole
    QTest::addColumn<bool>("write"); // Write Single Register instead of a read
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");

    const QString hint = velto::serial::kEchoHint;
    QTest::newRow("echoing adapter, Remove echo on")
        << true << true << QByteArray() << 0 << false << int(vm::StatusOk) << "No error";
    QTest::newRow("echoing adapter, Remove echo off")
        << true << false << QByteArray() << 0 << false << int(vm::StatusInvalidResponse) << hint;
    QTest::newRow("echoing adapter, a write, Remove echo on")
        << true << true << QByteArray() << 0 << true << int(vm::StatusOk) << "No error";
    QTest::newRow("echoing adapter, a write, Remove echo off")
        << true << false << QByteArray() << 0 << true << int(vm::StatusInvalidResponse) << hint;
    QTest::newRow("garbage before the answer") << false << false << QByteArray::fromHex("ff00a5") << 0
                                               << false << int(vm::StatusTimeout) << "did not fit";
    QTest::newRow("answer in odd pieces")
        << false << false << QByteArray() << 3 << false << int(vm::StatusOk) << "No error";
    QTest::newRow("echo and answer in odd pieces, Remove echo on")
        << true << true << QByteArray() << 5 << false << int(vm::StatusOk) << "No error";
}

// Adapters that echo, noise before the answer and answers that come in pieces, against a read of the
// static group (or a write of R51): what counts, and what fails with which words.
void TstWrongAnswers::faultyLines()
{
    QFETCH(bool, echoingLine);
    QFETCH(bool, removeEcho);
    QFETCH(QByteArray, before);
    QFETCH(int, pieceBytes);
    QFETCH(bool, write);
    QFETCH(int, status);
    QFETCH(QString, text);
    constexpr int kPieceGapMs = 2;
    m_peer->echo = echoingLine;
    QVERIFY(m_master->line()->setRemoveEcho(removeEcho));
    ScriptedRtuPeer::Answer how;
    how.before = before;
    how.pieceBytes = pieceBytes;
    how.pieceGapMs = kPieceGapMs;
    m_peer->script << how;
    if (status == vm::StatusTimeout)
        m_master->setRxTimeout(kShortRxMs);
    // A write's answer repeats its request: the echo of one is told only on a line known to echo.
    const bool learnEcho = write && echoingLine && !removeEcho;
    if (learnEcho) {
        const auto first = read(kStatic);
        QVERIFY(first && first->errorText.contains(text));
    }

    const auto answer = write ? run([&](QObject* ctx, auto done) {
        m_master->writeRegister(kSlave, 51, 6000, ctx, std::move(done));
    })
                              : read(kStatic);
    QVERIFY(answer);
    QCOMPARE(answer->status, status);
    QVERIFY2(answer->errorText.contains(text), qPrintable(answer->errorText));
    if (answer->ok() && !write) {
        QCOMPARE(answer->words.size(), kStatic.count);
        QCOMPARE(answer->words.first(), quint16(kValueBase + kStatic.start));
    }
    QCOMPARE(m_peer->requests.size(), learnEcho ? 2 : 1);
}

void TstWrongAnswers::lateAnswerAndTheNext_data()
{
    QTest::addColumn<int>("lateByMs"); // past the first request's receive time-out
    QTest::addColumn<bool>("waitForIt"); // the next request goes out only after the late answer came
    QTest::addColumn<int>("nextDelayMs"); // how long the slave takes over the next answer
    QTest::addColumn<int>("nextStatus");
    QTest::newRow("late answer before the next request: stray") << 100 << true << 0 << int(vm::StatusOk);
    // The next request waits a receive time-out of silence after the failure, so the late answer
    // lands before it goes.
    QTest::newRow("late answer while the next request waits, its own answer follows")
        << 100 << false << 200 << int(vm::StatusOk);
}

// A slave answers a request after its receive time-out, then the next request of the same kind: the
// late answer is never counted as the next one's.
void TstWrongAnswers::lateAnswerAndTheNext()
{
    QFETCH(int, lateByMs);
    QFETCH(bool, waitForIt);
    QFETCH(int, nextDelayMs);
    QFETCH(int, nextStatus);
    constexpr int kRxMs = 300;
    m_master->setRxTimeout(kRxMs);
    ScriptedRtuPeer::Answer late;
    late.delayMs = kRxMs + lateByMs;
    ScriptedRtuPeer::Answer next;
    next.delayMs = nextDelayMs;
    m_peer->script << late << next;
    // Each answer its own values, so a late one would show.
    m_peer->registers[kStatic.start] = 1;
    QSignalSpy answered(m_peer.get(), &ScriptedRtuPeer::answered);

    const auto first = read(kStatic);
    QVERIFY(first);
    QCOMPARE(first->status, int(vm::StatusTimeout));
    m_peer->registers[kStatic.start] = 2;
    if (waitForIt)
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 1, kHangGuardMs);
    const auto second = read(kStatic);
    QVERIFY(second);
    QCOMPARE(second->status, nextStatus);
    if (second->ok())
        QCOMPARE(second->words.first(), quint16(2));

    // Whatever was left on the line is not taken for the third.
    m_peer->registers[kStatic.start] = 3;
    const auto third = read(kStatic);
    QVERIFY(third && third->ok());
    QCOMPARE(third->words.first(), quint16(3));
}

void TstWrongAnswers::doubledAnswer_data()
{
    QTest::addColumn<int>("againAfterMs"); // the slave sends its answer once more, this long after
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("twice in one write") << 0 << int(vm::StatusInvalidResponse) << "out of step";
    // Past the frame gap the copy is a frame of its own that no request asked for.
    QTest::newRow("twice, the copy before the next request") << 60 << int(vm::StatusOk) << "No error";
}

// A slave answers one request twice: both copies together are no answer; a copy standing alone later
// is stray, and is never taken for the next request's answer.
void TstWrongAnswers::doubledAnswer()
{
    QFETCH(int, againAfterMs);
    QFETCH(int, status);
    QFETCH(QString, text);
    ScriptedRtuPeer::Answer twice;
    twice.againAfterMs = againAfterMs;
    m_peer->script << twice;
    m_peer->registers[kStatic.start] = 1;
    QSignalSpy answered(m_peer.get(), &ScriptedRtuPeer::answered);

    const auto first = read(kStatic);
    QVERIFY(first);
    QCOMPARE(first->status, status);
    QVERIFY2(first->errorText.contains(text), qPrintable(first->errorText));
    if (againAfterMs > 0)
        QTRY_COMPARE_WITH_TIMEOUT(answered.size(), 2, kHangGuardMs);

    m_peer->registers[kStatic.start] = 2;
    const auto second = read(kStatic);
    QVERIFY(second && second->ok());
    QCOMPARE(second->words.first(), quint16(2));
}

QTEST_GUILESS_MAIN(TstWrongAnswers)
#include "tst_wrong_answers.moc"

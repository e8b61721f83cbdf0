#include "modbus/rtu_answer.h"
#include "support/pty_pair.h"
#include "support/rtu_server.h"
#include "support/serial_rtu_master.h"

#include <QElapsedTimer>

#include <QModbusRtuSerialServer>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>
#include <sys/resource.h>

using velto::modbus::AnswerFrame;
using velto::modbus::ModbusResult;
using velto::modbus::RtuMaster;
using velto::modbus::RtuRequest;
using velto::test::SerialRtuMaster;
namespace vm = velto::modbus;

namespace {

constexpr auto kSettings = "9600,n,8,1";
constexpr int kServerAddress = 1;
constexpr int kSilentAddress = 7;
constexpr int kMapSize = 100;
constexpr quint16 kValueBase = 1000;
// Answers are awaited patiently, so a starved machine cannot turn one into a time-out; only the
// cases that expect a time-out wait briefly.
constexpr int kPatientRxMs = 5000;
constexpr int kShortRxMs = 300;
// Generous bounds that only catch hangs, never performance.
constexpr int kHangGuardMs = 20000;

qint64 processCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

} // namespace

class TstRtuMaster : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answersFramedByLength_data();
    void answersFramedByLength();
    void answersJudgedAgainstTheirRequest_data();
    void answersJudgedAgainstTheirRequest();

    void readsAndWritesReachTheServer();
    void exceptionsCarryTheirCode();
    void silentSlaveTimesOut_data();
    void silentSlaveTimesOut();
    void refusesWithoutSending();
    void callbackSkippedForDestroyedContext();
    void closePortFailsPendingRequest();
    void lineCutMidRequestFinishesWithoutSpinning();
    void aboutNamesStackAndVersion();

private:
    // Sends one request through `issue` and waits for its callback.
    std::optional<ModbusResult> run(const std::function<void(QObject*, RtuMaster::Done)>& issue);

    std::unique_ptr<velto::test::PtyBridge> m_bridge;
    std::unique_ptr<QModbusRtuSerialServer> m_server;
    std::unique_ptr<SerialRtuMaster> m_master;
};

namespace {
// Qt's server must know the length of a request with a function code it has never heard of before it
// can answer it with Illegal Function; the probe carries a write-multiple body.
int probeRequestSize(const QModbusRequest& request)
{
    constexpr int kHeaderBytes = 5; // start, count, byte count
    if (request.dataSize() < kHeaderBytes)
        return -1;
    return kHeaderBytes + quint8(request.data().at(kHeaderBytes - 1));
}
} // namespace

void TstRtuMaster::initTestCase()
{
    qRegisterMetaType<ModbusResult>();
    QModbusRequest::registerDataSizeCalculator(
        QModbusPdu::FunctionCode(RtuMaster::kProbeFunctionCode), &probeRequestSize);
}

void TstRtuMaster::init()
{
    m_bridge = std::make_unique<velto::test::PtyBridge>();
    QVERIFY(m_bridge->isValid());

    m_server = velto::test::startRtuServer(m_bridge->pathB(), kServerAddress, kMapSize);
    QVERIFY(m_server);
    for (int i = 0; i < kMapSize; ++i)
        QVERIFY(m_server->setData(QModbusDataUnit::HoldingRegisters, quint16(i), quint16(kValueBase + i)));

    m_master = std::make_unique<SerialRtuMaster>();
    m_master->setRxTimeout(kPatientRxMs);
    QVERIFY2(m_master->openPort(m_bridge->pathA(), kSettings), qPrintable(m_master->lastErrorText()));
    QVERIFY(m_master->portOpen());
}

void TstRtuMaster::cleanup()
{
    m_master.reset();
    m_server.reset();
    m_bridge.reset();
}

std::optional<ModbusResult> TstRtuMaster::run(const std::function<void(QObject*, RtuMaster::Done)>& issue)
{
    std::optional<ModbusResult> got;
    int calls = 0;
    QObject context;
    QSignalSpy finished(m_master.get(), &RtuMaster::requestFinished);
    issue(&context, [&](const ModbusResult& r) {
        got = r;
        ++calls;
    });
    if (!got)
        finished.wait(kHangGuardMs);
    if (calls != 1)
        return std::nullopt;
    return got;
}

void TstRtuMaster::answersFramedByLength_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("length");
    const int whole = int(AnswerFrame::State::Whole);
    const int incomplete = int(AnswerFrame::State::Incomplete);
    const int unframeable = int(AnswerFrame::State::Unframeable);
    QTest::newRow("nothing yet") << QByteArray() << 3 << incomplete << 0;
    QTest::newRow("read, byte count not yet") << QByteArray::fromHex("0103") << 3 << incomplete << 0;
    QTest::newRow("read, two registers") << QByteArray::fromHex("010304006400650000") << 3 << whole << 9;
    QTest::newRow("read, one byte short") << QByteArray::fromHex("0103040064006500") << 3 << incomplete << 0;
    QTest::newRow("read, more behind it") << QByteArray::fromHex("0103020064b9af01") << 3 << whole << 7;
    QTest::newRow("exception to a read") << QByteArray::fromHex("018302c0f1") << 3 << whole << 5;
    QTest::newRow("write single") << QByteArray::fromHex("010600330bb8ffff") << 6 << whole << 8;
    QTest::newRow("write multiple") << QByteArray::fromHex("011000340002ffff") << 16 << whole << 8;
    QTest::newRow("another function") << QByteArray::fromHex("0104020064") << 3 << unframeable << 0;
    QTest::newRow("exception to the probe") << QByteArray::fromHex("01c101b050") << 0x41 << whole << 5;
    QTest::newRow("the probe answered") << QByteArray::fromHex("014100") << 0x41 << unframeable << 0;
}

void TstRtuMaster::answersFramedByLength()
{
    QFETCH(QByteArray, received);
    QFETCH(int, function);
    QFETCH(int, state);
    QFETCH(int, length);
    const AnswerFrame frame = vm::frameRtuAnswer(received, quint8(function));
    QCOMPARE(int(frame.state), state);
    QCOMPARE(frame.length, length);
}

void TstRtuMaster::answersJudgedAgainstTheirRequest_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("kind"); // 0 read R0..R1, 1 write R51 = 3000, 2 write R52..R53
    QTest::addColumn<bool>("ours");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("two registers") << QByteArray::fromHex("010304006400657bc7") << 0 << true << 0
                                   << "No error";
    QTest::newRow("one register for two")
        << QByteArray::fromHex("0103020064b9af") << 0 << true << 17 << "1 registers received for 2 requested";
    QTest::newRow("odd byte count") << QByteArray::fromHex("0103030064006f4e") << 0 << true << 17
                                    << "3 data bytes are no whole number of registers";
    QTest::newRow("bad CRC") << QByteArray::fromHex("010304006400657bc8") << 0 << false << 0
                             << "a frame with a bad CRC";
    QTest::newRow("another slave") << QByteArray::fromHex("0203040064006548c7") << 0 << false << 0
                                   << "an answer from slave 2";
    QTest::newRow("busy sensor") << QByteArray::fromHex("018606c262") << 1 << true << 12
                                 << "Server Device Busy (exception 6)";
    QTest::newRow("illegal data address")
        << QByteArray::fromHex("018302c0f1") << 0 << true << 102 << "Illegal Data Address (exception 2)";
    QTest::newRow("write acknowledged")
        << QByteArray::fromHex("010600330bb87e87") << 1 << true << 0 << "No error";
    QTest::newRow("write acknowledged with another value") << QByteArray::fromHex(
        "010600330bb9bf47") << 1 << true << 17 << "write acknowledged with value 3001 instead of 3000";
    QTest::newRow("two written, acknowledged as three") << QByteArray::fromHex(
        "011000340003c1c6") << 2 << true << 17 << "write acknowledged for 3 registers instead of 2";
}

void TstRtuMaster::answersJudgedAgainstTheirRequest()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, kind);
    QFETCH(bool, ours);
    QFETCH(int, status);
    QFETCH(QString, text);
    const RtuRequest requests[] = { RtuRequest::read(1, 0, 2), RtuRequest::writeOne(1, 51, 3000),
        RtuRequest::writeMany(1, 52, { 0x1170, 0x0001 }) };
    const vm::AnswerVerdict verdict = vm::judgeRtuAnswer(frame, requests[kind]);
    QCOMPARE(verdict.ours, ours);
    if (!ours) {
        QCOMPARE(verdict.notOursReason, text);
        return;
    }
    QCOMPARE(verdict.result.status, status);
    QVERIFY2(verdict.result.errorText.endsWith(text), qPrintable(verdict.result.errorText));
}

void TstRtuMaster::readsAndWritesReachTheServer()
{
    constexpr int kStart = 51;
    constexpr int kCount = 16;
    auto read = run(
        [&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, kStart, kCount, ctx, done); });
    QVERIFY(read);
    QCOMPARE(read->status, int(vm::StatusOk));
    QCOMPARE(read->words.size(), kCount);
    for (int i = 0; i < kCount; ++i)
        QCOMPARE(read->words[i], quint16(kValueBase + kStart + i));
    QCOMPARE(m_master->lastErrorText(), read->errorText);
    QVERIFY(!m_master->busy());

    auto one
        = run([&](QObject* ctx, auto done) { m_master->writeRegister(kServerAddress, 60, 4321, ctx, done); });
    QVERIFY(one && one->ok());
    auto two = run([&](QObject* ctx, auto done) {
        m_master->writeRegisters(kServerAddress, 70, { 11, 0xFFFF }, ctx, done);
    });
    QVERIFY(two && two->ok());
    // One word through the multiple-registers function.
    auto single = run(
        [&](QObject* ctx, auto done) { m_master->writeRegisters(kServerAddress, 80, { 77 }, ctx, done); });
    QVERIFY2(single && single->ok(), single ? qPrintable(single->errorText) : "no callback");

    quint16 v = 0;
    QVERIFY(m_server->data(QModbusDataUnit::HoldingRegisters, 60, &v));
    QCOMPARE(v, quint16(4321));
    QVERIFY(m_server->data(QModbusDataUnit::HoldingRegisters, 71, &v));
    QCOMPARE(v, quint16(0xFFFF));
    QVERIFY(m_server->data(QModbusDataUnit::HoldingRegisters, 80, &v));
    QCOMPARE(v, quint16(77));

    auto back
        = run([&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, 70, 11, ctx, done); });
    QVERIFY(back && back->ok());
    QCOMPARE(back->words.first(), quint16(11));
    QCOMPARE(back->words[1], quint16(0xFFFF));
    QCOMPARE(back->words[2], quint16(kValueBase + 72));
    QCOMPARE(back->words.last(), quint16(77));
}

void TstRtuMaster::exceptionsCarryTheirCode()
{
    auto beyond = run([&](QObject* ctx, auto done) {
        m_master->readRegisters(kServerAddress, kMapSize - 4, 16, ctx, done);
    });
    QVERIFY(beyond);
    QCOMPARE(beyond->status, 100 + int(QModbusPdu::IllegalDataAddress));
    QVERIFY2(beyond->errorText.contains("Illegal Data Address"), qPrintable(beyond->errorText));
    QCOMPARE(m_master->lastErrorText(), beyond->errorText);
    QVERIFY(beyond->words.isEmpty());

    auto probe = run([&](QObject* ctx, auto done) {
        m_master->probeIllegalFunction(kServerAddress, 51, { 1, 1, 1, 0, 0 }, ctx, done);
    });
    QVERIFY(probe);
    QCOMPARE(probe->status, 100 + int(QModbusPdu::IllegalFunction));
    QVERIFY2(probe->errorText.contains("Illegal Function"), qPrintable(probe->errorText));

    // The line is still good afterwards.
    auto read
        = run([&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, 0, 1, ctx, done); });
    QVERIFY(read && read->ok());
}

void TstRtuMaster::silentSlaveTimesOut_data()
{
    QTest::addColumn<bool>("serverGone");
    QTest::newRow("wrong slave id") << false;
    QTest::newRow("server disconnected") << true;
}

void TstRtuMaster::silentSlaveTimesOut()
{
    QFETCH(bool, serverGone);
    const int slave = serverGone ? kServerAddress : kSilentAddress;
    if (serverGone)
        m_server->disconnectDevice();
    m_master->setRxTimeout(kShortRxMs);

    QElapsedTimer clock;
    clock.start();
    auto r = run([&](QObject* ctx, auto done) { m_master->readRegisters(slave, 51, 16, ctx, done); });
    const qint64 elapsed = clock.elapsed();
    QVERIFY(r);
    QCOMPARE(r->status, int(vm::StatusTimeout));
    QVERIFY2(r->errorText.contains("time-out", Qt::CaseInsensitive), qPrintable(r->errorText));
    QVERIFY2(elapsed >= kShortRxMs * 8 / 10, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < kHangGuardMs, qPrintable(QString::number(elapsed)));
    QVERIFY(m_master->portOpen());
}

void TstRtuMaster::refusesWithoutSending()
{
    // Busy: the second request is refused on the next turn, the first still completes.
    std::optional<ModbusResult> first;
    std::optional<ModbusResult> second;
    QSignalSpy finished(m_master.get(), &RtuMaster::requestFinished);
    m_master->readRegisters(kServerAddress, 0, 2, this, [&](const ModbusResult& r) { first = r; });
    QVERIFY(m_master->busy());
    m_master->readRegisters(kServerAddress, 2, 2, this, [&](const ModbusResult& r) { second = r; });
    QVERIFY(!second);
    QTRY_VERIFY_WITH_TIMEOUT(first && second, kHangGuardMs);
    QCOMPARE(second->status, int(vm::StatusBusy));
    QVERIFY(first->ok());
    QCOMPARE(m_master->lastErrorText(), first->errorText);
    QCOMPARE(finished.count(), 2);

    // Requests the protocol cannot carry fail alone; the line stays up.
    auto empty
        = run([&](QObject* ctx, auto done) { m_master->writeRegisters(kServerAddress, 0, {}, ctx, done); });
    QVERIFY(empty && !empty->ok() && !empty->errorText.isEmpty());
    auto tooMany
        = run([&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, 0, 200, ctx, done); });
    QVERIFY(tooMany && !tooMany->ok());
    QVERIFY(m_master->portOpen());
    auto fine
        = run([&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, 0, 1, ctx, done); });
    QVERIFY(fine && fine->ok());

    // Not open: no crash, a queued failure with a text.
    m_master->closePort();
    QVERIFY(!m_master->portOpen());
    std::optional<ModbusResult> closed;
    m_master->writeRegister(kServerAddress, 1, 1, this, [&](const ModbusResult& r) { closed = r; });
    QVERIFY(!closed);
    QTRY_VERIFY_WITH_TIMEOUT(closed.has_value(), kHangGuardMs);
    QVERIFY(closed->status != vm::StatusOk && closed->status != vm::StatusTimeout);
    QCOMPARE(m_master->lastErrorText(), closed->errorText);

    QVERIFY(!m_master->openPort(QStringLiteral("/dev/velto-no-such-port"), kSettings));
    QVERIFY(m_master->lastErrorText().contains("velto-no-such-port"));
    QVERIFY(!m_master->openPort(m_bridge->pathA(), QStringLiteral("9600,n,8")));
    QVERIFY(!m_master->portOpen());

    // Reopening works.
    QVERIFY(m_master->openPort(m_bridge->pathA(), kSettings));
    auto read
        = run([&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, 0, 1, ctx, done); });
    QVERIFY(read && read->ok());
}

void TstRtuMaster::callbackSkippedForDestroyedContext()
{
    bool called = false;
    QSignalSpy finished(m_master.get(), &RtuMaster::requestFinished);
    {
        QObject context;
        m_master->readRegisters(kServerAddress, 0, 4, &context, [&](const ModbusResult&) { called = true; });
    }
    QVERIFY(finished.wait(kHangGuardMs));
    QVERIFY(!called);
    QCOMPARE(finished.first().first().value<ModbusResult>().status, int(vm::StatusOk));
}

void TstRtuMaster::closePortFailsPendingRequest()
{
    std::optional<ModbusResult> got;
    m_master->readRegisters(kSilentAddress, 0, 4, this, [&](const ModbusResult& r) { got = r; });
    m_master->closePort();
    QVERIFY(!m_master->busy());
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), kHangGuardMs);
    QVERIFY(got->status != vm::StatusOk && got->status != vm::StatusTimeout);
    QVERIFY(!got->errorText.isEmpty());
}

void TstRtuMaster::lineCutMidRequestFinishesWithoutSpinning()
{
    // A long receive time-out, so a quick finish can only come from noticing the dead line.
    constexpr int kLongRxMs = 5000;
    m_master->setRxTimeout(kLongRxMs);
    std::optional<ModbusResult> got;
    QElapsedTimer clock;
    clock.start();
    m_master->readRegisters(kSilentAddress, 0, 4, this, [&](const ModbusResult& r) { got = r; });
    QTimer::singleShot(50, this, [this] { m_bridge->cut(); });
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), kLongRxMs + kHangGuardMs);
    QVERIFY(got->status != vm::StatusOk);
    QVERIFY(!got->errorText.isEmpty());
    QVERIFY2(clock.elapsed() < kLongRxMs, qPrintable(got->errorText));
    QTRY_VERIFY_WITH_TIMEOUT(!m_master->portOpen(), kHangGuardMs);

    // Sanity check against the stack spinning on the dead descriptor: the process stays mostly idle.
    constexpr int kIdleWindowMs = 1000;
    constexpr int kCpuBudgetMs = 500;
    const qint64 cpuBefore = processCpuMs();
    QTest::qWait(kIdleWindowMs);
    const qint64 cpuUsed = processCpuMs() - cpuBefore;
    QVERIFY2(cpuUsed < kCpuBudgetMs, qPrintable(QStringLiteral("%1 ms CPU").arg(cpuUsed)));

    auto after
        = run([&](QObject* ctx, auto done) { m_master->readRegisters(kServerAddress, 0, 1, ctx, done); });
    QVERIFY(after);
    QVERIFY(after->status != vm::StatusOk);
}

void TstRtuMaster::aboutNamesStackAndVersion()
{
    const QString about = m_master->aboutText();
    QVERIFY(about.contains("Modbus RTU master"));
    QVERIFY(about.contains(QString::fromLatin1(qVersion())));

    m_master->setRxTimeout(0);
    QCOMPARE(m_master->rxTimeout(), RtuMaster::kMinTimeoutMs);
    m_master->setTxTimeout(99999);
    QCOMPARE(m_master->txTimeout(), RtuMaster::kMaxTimeoutMs);
}

QTEST_GUILESS_MAIN(TstRtuMaster)
#include "tst_rtu_master.moc"

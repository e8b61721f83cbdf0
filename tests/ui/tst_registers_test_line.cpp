#include "regtest/register_block_poller.h"
#include "sim/manual_clock.h"
#include "sim/simulated_line.h"
#include "support/fake_prompter.h"
#include "support/pty_pair.h"
#include "support/serial_rtu_master.h"
#include "ui/main_window.h"
#include "ui/registers_test_window.h"

#include "support/rtu_server.h"
#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <QModbusRtuSerialServer>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace velto;

namespace {

constexpr auto kSettings = "9600,n,8,1";
constexpr int kServerAddress = 1;
constexpr int kMapSize = 100;
// Only catches hangs.
constexpr int kGuardMs = 10000;

} // namespace

// The register test window over a real pseudo-terminal line, with Qt's RTU server as the device.
class TstRegistersTestLine : public QObject {
    Q_OBJECT
private slots:
    void blockOfTenShowsTheServersValues();
    void defaultsReadTheSimulatedSensors();
};

void TstRegistersTestLine::blockOfTenShowsTheServersValues()
{
    test::PtyBridge bridge;
    QVERIFY(bridge.isValid());

    const auto serverOwner = test::startRtuServer(bridge.pathB(), kServerAddress, kMapSize);
    QVERIFY(serverOwner);
    QModbusRtuSerialServer& server = *serverOwner;
    // Registers 20..29 (40021..40030) hold known values, two of them negative as signed words.
    const QList<quint16> known { 0, 1, 255, 1000, 32767, 0x8000, 0xFFFF, 12345, 42, 7 };
    for (int i = 0; i < known.size(); ++i)
        QVERIFY(server.setData(QModbusDataUnit::HoldingRegisters, quint16(20 + i), known.at(i)));

    test::SerialRtuMaster master;
    ui::MainWindow main;
    test::FakePrompter prompter;
    int opens = 0;
    ui::RegistersTestWindow window(main, master, prompter, [&] {
        ++opens;
        return master.openPort(bridge.pathA(), kSettings);
    });
    window.show();

    // The edit settles, then the requests start.
    window.findChild<QLineEdit*>("StartAddressText")->setText("21");
    QSignalSpy values(&window.poller(), &regtest::RegisterBlockPoller::valuesChanged);
    QTRY_COMPARE_WITH_TIMEOUT(window.poller().startAddress(), 21, kGuardMs);
    QTest::mouseClick(window.findChild<QPushButton*>("PeriodicalRequestCommand"), Qt::LeftButton);
    QCOMPARE(opens, 1);
    QTRY_VERIFY_WITH_TIMEOUT(values.size() >= 2, kGuardMs);
    QTest::mouseClick(window.findChild<QPushButton*>("StopPeriodicalRequestCommand"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!master.portOpen(), kGuardMs);

    const QStringList expected { "0", "1", "255", "1000", "32767", "-32768", "-1", "12345", "42", "7" };
    for (int i = 0; i < known.size(); ++i) {
        QCOMPARE(window.RegValText(i)->text(), expected.at(i));
        QCOMPARE(window.MBAddLabel(i)->text(), QString::number(40021 + i));
    }
    QCOMPARE(window.findChild<QLineEdit*>("NumOfTimeoutText")->text(), QString("0"));
    QCOMPARE(window.findChild<QLineEdit*>("NumberOfPollsText")->text(),
        window.findChild<QLineEdit*>("ValidSlaveResponsesText")->text());
    QVERIFY(window.poller().NumOfResponseSingMulReg() >= 2);
    QCOMPARE(window.findChild<QLineEdit*>("ModbusErrorMessageText")->text(), QString("Device Not Connected"));
    QVERIFY(prompter.messages.isEmpty());
}

// The window as it opens, against the built-in simulated sensors: its default block (registers
// 40001..40010) lies within what a sensor holds, so the first request already succeeds.
void TstRegistersTestLine::defaultsReadTheSimulatedSensors()
{
    sim::ManualClock clock { 60000 };
    sim::SimulatedLine line { clock };
    QVERIFY(line.isValid());
    test::SerialRtuMaster master;
    ui::MainWindow main;
    test::FakePrompter prompter;
    ui::RegistersTestWindow window(
        main, master, prompter, [&] { return master.openPort(line.devicePath(), kSettings); });
    window.show();

    QSignalSpy values(&window.poller(), &regtest::RegisterBlockPoller::valuesChanged);
    QTest::mouseClick(window.findChild<QPushButton*>("PeriodicalRequestCommand"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(values.size() >= 2, kGuardMs);
    QTest::mouseClick(window.findChild<QPushButton*>("StopPeriodicalRequestCommand"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!master.portOpen(), kGuardMs);

    QCOMPARE(window.poller().NumOfResponseSingMulReg(), window.poller().NumOfPollsSingMulReg());
    QCOMPARE(window.findChild<QLineEdit*>("NumOfTimeoutText")->text(), QString("0"));
    QCOMPARE(window.RegValText(0)->text(), QString("1")); // R0: the sensor's own address
    QCOMPARE(window.RegValText(9)->text(), QString("0")); // R9: reserved
    QCOMPARE(window.MBAddLabel(9)->text(), QString("40010"));
    QVERIFY(prompter.messages.isEmpty());
}

QTEST_MAIN(TstRegistersTestLine)
#include "tst_registers_test_line.moc"

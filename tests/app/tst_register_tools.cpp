#include "support/main_window_rig.h"
#include "ui/multiple_devices_window.h"
#include "ui/registers_test_window.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace velto;

namespace {

constexpr int kFastPollMs = 5;

struct Fixture : test::MainWindowRig {
    void connectOrvix25()
    {
        connect();
        trigger("mnuOrvix25");
    }
    template <typename T> T* tool(const char* name)
    {
        const auto found = window().findChildren<T*>(QString::fromLatin1(name));
        return found.size() == 1 ? found.first() : nullptr;
    }
};

} // namespace

// The register test tools opened and closed through the main window's menus.
class TstRegisterTools : public QObject {
    Q_OBJECT
private slots:
    void devicesMenuOpensOneWindowThatDisconnectCloses();
    void registersTestMenuHidesTheMainWindowUntilExit();
};

void TstRegisterTools::devicesMenuOpensOneWindowThatDisconnectCloses()
{
    Fixture fx;
    fx.connectOrvix25();
    fx.trigger("mnu3Devices");
    auto* devices = fx.tool<ui::MultipleDevicesWindow>("FormMultipleDevicesModbus");
    QVERIFY(devices);
    QVERIFY(devices->isVisible());
    QVERIFY(!fx.window().isVisible());
    for (int k = 1; k <= 5; ++k)
        QCOMPARE(
            devices->findChild<QGroupBox*>(QStringLiteral("FrameDeviceNo%1").arg(k))->isVisible(), k <= 3);
    QVERIFY(fx.master.portOpen());
    QVERIFY(!fx.enabled("mnuLog"));
    QVERIFY(!fx.enabled("mnuDevice"));
    QVERIFY(!fx.enabled("mnuOption"));
    QTimer* poll = fx.window().TimerForModbusDevices;
    QVERIFY(poll->isActive());

    QObject::connect(&fx.master, &modbus::ModbusMaster::requestFinished, devices, [&] {
        if (fx.master.requests.size() >= 3)
            poll->stop();
    });
    poll->setInterval(kFastPollMs);
    QTRY_VERIFY(fx.master.requests.size() >= 3 && !fx.master.busy());
    QList<int> slaves;
    for (const auto& r : fx.master.requests)
        slaves << r.slave;
    QCOMPARE(slaves, (QList<int> { 3, 2, 1 }));
    QCOMPARE(fx.controller.state().CurrentSlaveId, quint16(1));

    poll->start();
    fx.trigger("mnuDisConnect");
    QVERIFY(!poll->isActive());
    QVERIFY(!devices->isVisible());
    QVERIFY(fx.window().isVisible());
    QVERIFY(fx.enabled("mnuDevice"));

    // Chosen again, the same window comes back with the new count.
    fx.connectOrvix25();
    fx.trigger("mnu5Devices");
    QCOMPARE(fx.tool<ui::MultipleDevicesWindow>("FormMultipleDevicesModbus"), devices);
    QVERIFY(devices->findChild<QGroupBox*>("FrameDeviceNo5")->isVisible());
    QTest::mouseClick(devices->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);
    QVERIFY(!poll->isActive());
    QVERIFY(fx.enabled("mnuOption"));
    QVERIFY(fx.window().isVisible());
}

void TstRegisterTools::registersTestMenuHidesTheMainWindowUntilExit()
{
    Fixture fx;
    fx.window().show();
    fx.trigger("mnuOrvix25");
    fx.trigger("mnuRegistersTest");
    auto* registers = fx.tool<ui::RegistersTestWindow>("FormSingleMultiRegisters");
    QVERIFY(registers);
    QVERIFY(registers->isVisible());
    QVERIFY(!fx.window().isVisible());
    QVERIFY(!fx.enabled("mnuLog"));

    registers->findChild<QLineEdit*>("DeviceAddressText")->setText("9");
    QTRY_COMPARE_WITH_TIMEOUT(fx.controller.state().CurrentSlaveId, quint16(9), 5000);
    QTest::mouseClick(registers->findChild<QPushButton*>("ExitCommand"), Qt::LeftButton);
    QVERIFY(fx.window().isVisible());
    QVERIFY(!registers->isVisible());
    QCOMPARE(fx.controller.state().CurrentSlaveId, quint16(1));

    fx.trigger("mnuRegistersTest");
    QCOMPARE(fx.tool<ui::RegistersTestWindow>("FormSingleMultiRegisters"), registers);
    QCOMPARE(registers->findChild<QLineEdit*>("DeviceAddressText")->text(), QString("1"));
}

QTEST_MAIN(TstRegisterTools)
#include "tst_register_tools.moc"

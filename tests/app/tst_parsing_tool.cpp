#include "app/main_controller.h"
#include "support/fake_byte_link.h"
#include "support/fake_modbus_master.h"
#include "support/fake_prompter.h"
#include "ui/parsing_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

using namespace velto;

// Device > Taliq485 > Parsing through the main window's menu.
class TstParsingTool : public QObject {
    Q_OBJECT
private slots:
    void parsingHidesTheMainWindowUntilClosed();
};

void TstParsingTool::parsingHidesTheMainWindowUntilClosed()
{
    test::FakeModbusMaster master;
    test::FakeByteLink link;
    test::FakePrompter prompter;
    app::MainController controller { { master, link, prompter, [] { return QList<serial::PortChoice>(); },
        [] { return QString(); } } };
    ui::MainWindow& main = controller.window();
    main.show();

    main.entry("mnuParsing")->trigger();
    const auto windows = main.findChildren<ui::ParsingWindow*>("FormTaliq485Parsing");
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows.first()->isVisible());
    QVERIFY(!main.isVisible());
    QCOMPARE(main.findChild<QLineEdit*>("DeviceText")->text(), QString("Taliq485"));

    windows.first()->close();
    QVERIFY(main.isVisible());
    // Opened again: the same window.
    main.entry("mnuParsing")->trigger();
    QCOMPARE(main.findChildren<ui::ParsingWindow*>("FormTaliq485Parsing"), windows);
    QVERIFY(windows.first()->isVisible());
}

QTEST_MAIN(TstParsingTool)
#include "tst_parsing_tool.moc"

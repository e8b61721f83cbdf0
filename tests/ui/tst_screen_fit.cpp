#include "ui/screen_fit.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include "support/offscreen_screen.h"

using namespace velto;

class TestScreenFit : public QObject {
    Q_OBJECT

    static QRect screenArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // A panel that needs `size` and cannot shrink.
    static QWidget* rigidPanel(QSize size, QWidget* parent = nullptr)
    {
        auto* panel = new QWidget(parent);
        auto* layout = new QGridLayout(panel);
        auto* block = new QLabel(QStringLiteral("block"), panel);
        block->setMinimumSize(size);
        layout->addWidget(block, 0, 0);
        return panel;
    }

private slots:
    void initTestCase()
    {
        if (screenArea().size() != QSize(1366, 768))
            QSKIP("needs the offscreen platform's 1366x768 screen");
    }

    void oversizedWindowShrinksAndCentres()
    {
        QMainWindow window;
        window.setCentralWidget(rigidPanel({ 1800, 1200 }));
        ui::makeScrollable(window.centralWidget());
        ui::fitToScreenOnShow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(screenArea().contains(window.frameGeometry()));
        QVERIFY(window.minimumSizeHint().width() < 1366 && window.minimumSizeHint().height() < 768);
        QVERIFY(qAbs(window.frameGeometry().center().x() - screenArea().center().x()) <= 2);
    }

    void smallWindowKeepsItsSizeAndCentresOverItsParent()
    {
        QWidget parent;
        parent.resize(600, 400);
        parent.move(100, 100);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));

        QWidget tool(&parent, Qt::Window);
        (new QGridLayout(&tool))->addWidget(rigidPanel({ 200, 100 }, &tool));
        ui::fitToScreenOnShow(&tool);
        tool.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tool));
        QCOMPARE(tool.size(), tool.sizeHint());
        QVERIFY((tool.frameGeometry().center() - parent.frameGeometry().center()).manhattanLength() <= 4);

        // A window the user moved keeps its place when shown again...
        tool.hide();
        tool.move(300, 300);
        tool.show();
        QCOMPARE(tool.pos(), QPoint(300, 300));
        // ...unless that place is off the screen.
        tool.hide();
        tool.move(5000, 5000);
        tool.show();
        QVERIFY(screenArea().contains(tool.frameGeometry()));
    }

    void windowGrowsWithItsPanelUpToTheScreen()
    {
        QMainWindow window;
        QWidget* central = rigidPanel({ 300, 200 });
        window.setCentralWidget(central);
        ui::makeScrollable(central);
        ui::fitToScreenOnShow(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize before = window.size();

        auto* extra = new QLabel(QStringLiteral("more"), central);
        extra->setMinimumSize(900, 2000);
        static_cast<QGridLayout*>(central->layout())->addWidget(extra, 1, 0);
        QTRY_VERIFY(window.height() > before.height());
        QVERIFY(window.width() >= 900);
        QVERIFY(screenArea().contains(window.frameGeometry()));
        auto* area = window.findChild<QScrollArea*>();
        QVERIFY(area->verticalScrollBar()->maximum() > 0);
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestScreenFit, 1366, 768)
#include "tst_screen_fit.moc"

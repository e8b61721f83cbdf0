#pragma once

#include <QTemporaryDir>
#include <QtTest>

namespace velto::test {

// Gives the offscreen platform a screen of the given size (its own is 800x800), so window tests
// see the screen a laptop user has. Must exist before the QApplication; other platforms are left
// alone, their tests skip what needs the size.
class OffscreenScreen {
public:
    OffscreenScreen(int width, int height);

private:
    QTemporaryDir m_dir;
};

} // namespace velto::test

// QTEST_MAIN for window tests that need a screen of width x height (include QApplication first).
#define VELTO_QTEST_MAIN_ON_SCREEN(TestObject, width, height)                                                \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        velto::test::OffscreenScreen screen(width, height);                                                  \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

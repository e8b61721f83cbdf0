#include "serial/port_scanner.h"
#include "serial/qt_byte_link.h"
#include "serial/serial_settings.h"
#include "support/pty_pair.h"

#include <QSignalSpy>
#include <QTest>

using velto::serial::PortCandidate;
using velto::serial::PortEntry;
using velto::serial::PortScanner;
using velto::serial::QtByteLink;
using velto::serial::SerialSettings;
using velto::test::PtyPair;

namespace {
constexpr auto kSettings = "9600,n,8,1";
constexpr int kSignalWaitMs = 5000;
} // namespace

class TstByteLink : public QObject {
    Q_OBJECT
private slots:
    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void badSettingsRejected_data();
    void badSettingsRejected();

    void bytesTravelBothWays();
    void rtsAndClearInputOnPty();
    void failuresReportedByReturnValue();
    void farEndClosedIsReportedOnce();

    void scannerOrdersAndSkips();
    void scannerDisplayTexts();
    void openCloseProbeOnRealPaths();
};

void TstByteLink::settingsRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("default") << "9600,n,8,1"
                             << "9600,n,8,1";
    QTest::newRow("two stop bits") << "19200,n,8,2"
                                   << "19200,n,8,2";
    QTest::newRow("even, 7 bits") << "115200,E,7,1"
                                  << "115200,e,7,1";
    QTest::newRow("odd, 1.5 stop, spaces") << " 38400 , o , 8 , 1.5 "
                                           << "38400,o,8,1.5";
}

void TstByteLink::settingsRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(QString, normalised);
    const auto parsed = SerialSettings::parse(text);
    QVERIFY(parsed);
    QCOMPARE(parsed->toString(), normalised);
    const auto again = SerialSettings::parse(parsed->toString());
    QVERIFY(again);
    QCOMPARE(again->toString(), normalised);
}

void TstByteLink::badSettingsRejected_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("baud only") << "9600";
    QTest::newRow("extra field") << "9600,n,8,1,1";
    QTest::newRow("text baud") << "fast,n,8,1";
    QTest::newRow("zero baud") << "0,n,8,1";
    QTest::newRow("negative baud") << "-9600,n,8,1";
    QTest::newRow("parity word") << "9600,none,8,1";
    QTest::newRow("parity x") << "9600,x,8,1";
    QTest::newRow("nine data bits") << "9600,n,9,1";
    QTest::newRow("four data bits") << "9600,n,4,1";
    QTest::newRow("three stop bits") << "9600,n,8,3";
}

void TstByteLink::badSettingsRejected()
{
    QFETCH(QString, text);
    QVERIFY(!SerialSettings::parse(text));
}

void TstByteLink::bytesTravelBothWays()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QtByteLink link;
    QVERIFY2(link.open(pty.slavePath(), kSettings), qPrintable(link.errorText()));
    QVERIFY(link.isOpen());
    QCOMPARE(link.portName(), pty.slavePath());

    // More than one pty chunk, all byte values.
    QByteArray out;
    for (int i = 0; i < 1000; ++i)
        out.append(char(i % 256));
    QVERIFY(link.write(out));
    QByteArray atMaster;
    QTRY_VERIFY_WITH_TIMEOUT((atMaster += pty.readMasterNow()).size() >= out.size(), kSignalWaitMs);
    QCOMPARE(atMaster, out);

    QSignalSpy ready(&link, &QtByteLink::readyRead);
    const QByteArray in("\x02:01RD\r\n\x00\xFF", 10);
    QVERIFY(pty.writeMaster(in));
    QByteArray atLink;
    QTRY_VERIFY_WITH_TIMEOUT((atLink += link.readAll()).size() >= in.size(), kSignalWaitMs);
    QCOMPARE(atLink, in);
    QVERIFY(ready.count() >= 1);
    QCOMPARE(link.bytesAvailable(), 0);
}

void TstByteLink::rtsAndClearInputOnPty()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QtByteLink link;
    QVERIFY(link.open(pty.slavePath(), kSettings));
    QSignalSpy errors(&link, &QtByteLink::errorOccurred);

    // A pseudo-terminal has no modem lines, so the driver may refuse RTS. Either way the link must
    // stay usable and say why when it refused.
    for (bool on : { true, false }) {
        if (!link.setRts(on))
            QVERIFY(!link.errorText().isEmpty());
    }
    QVERIFY(link.isOpen());
    QCOMPARE(errors.count(), 0);

    QVERIFY(pty.writeMaster("stale"));
    QTRY_VERIFY_WITH_TIMEOUT(link.bytesAvailable() >= 5, kSignalWaitMs);
    link.clearInput();
    QCOMPARE(link.bytesAvailable(), 0);
    QVERIFY(pty.writeMaster("fresh"));
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += link.readAll()).size() >= 5, kSignalWaitMs);
    QCOMPARE(got, QByteArray("fresh"));
}

void TstByteLink::failuresReportedByReturnValue()
{
    QtByteLink link;
    QSignalSpy errors(&link, &QtByteLink::errorOccurred);
    QSignalSpy closed(&link, &QtByteLink::closed);
    QSignalSpy lost(&link, &QtByteLink::lineLost);

    QVERIFY(!link.write("x"));
    QVERIFY(!link.setRts(true));
    QCOMPARE(link.readAll(), QByteArray());

    QVERIFY(!link.open(QStringLiteral("/dev/velto-no-such-port"), kSettings));
    QVERIFY(!link.isOpen());
    QVERIFY(link.errorText().contains("velto-no-such-port"));

    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(!link.open(pty.slavePath(), QStringLiteral("9600,q,8,1")));
    QVERIFY(link.errorText().contains("9600,q,8,1"));
    QVERIFY(!link.isOpen());

    QCOMPARE(errors.count(), 0);
    QCOMPARE(closed.count(), 0);

    // A good open clears the old text; an explicit close is announced once.
    QVERIFY(link.open(pty.slavePath(), kSettings));
    QVERIFY(link.errorText().isEmpty());
    link.close();
    link.close();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(lost.count(), 0);
}

void TstByteLink::farEndClosedIsReportedOnce()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QtByteLink link;
    QVERIFY(link.open(pty.slavePath(), kSettings));
    QSignalSpy errors(&link, &QtByteLink::errorOccurred);
    QSignalSpy closed(&link, &QtByteLink::closed);
    QSignalSpy lost(&link, &QtByteLink::lineLost);

    pty.closeKeeper();
    pty.closeMaster();
    QVERIFY(lost.wait(kSignalWaitMs));
    QCOMPARE(closed.count(), 1);
    QCOMPARE(lost.first().first().toString(), link.errorText());
    QVERIFY(!link.isOpen());
    QCOMPARE(errors.count(), 1);
    QVERIFY(!errors.first().first().toString().isEmpty());
    QVERIFY(!link.errorText().isEmpty());
    QVERIFY(!link.write("late"));

    // Nothing more trickles in from the dead descriptor.
    QTest::qWait(200);
    QCOMPARE(errors.count(), 1);
    QCOMPARE(closed.count(), 1);
    QCOMPARE(lost.count(), 1);

    // The link can be reused on a fresh line.
    PtyPair other;
    QVERIFY(link.open(other.slavePath(), kSettings));
    QVERIFY(link.write("ok"));
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += other.readMasterNow()).size() >= 2, kSignalWaitMs);
    QCOMPARE(got, QByteArray("ok"));
}

void TstByteLink::scannerOrdersAndSkips()
{
    const QList<PortCandidate> system {
        { "ttyUSB10", "/dev/ttyUSB10", "CP2102 USB to UART" },
        { "ttyS10", "/dev/ttyS10", "" },
        { "ttyUSB2", "/dev/ttyUSB2", "FT232R USB UART" },
        { "ttyACM0", "/dev/ttyACM0", "busy modem" },
        { "ttyS2", "/dev/ttyS2", "" },
        { "ttyUSB2", "/dev/ttyUSB2", "FT232R USB UART" },
    };
    QStringList probed;
    PortScanner scanner([&] { return system; },
        [&](const QString& location) {
            probed << location;
            return location != "/dev/ttyACM0";
        });
    const QList<PortEntry> entries = scanner.scan();

    QStringList locations;
    for (const PortEntry& e : entries)
        locations << e.systemLocation;
    QCOMPARE(locations, QStringList({ "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB2", "/dev/ttyUSB10" }));
    // Every distinct port probed once, the busy one included.
    QCOMPARE(probed.size(), 5);
    QVERIFY(probed.contains("/dev/ttyACM0"));
    // Same answer on a second scan.
    QCOMPARE(scanner.scan().size(), entries.size());

    if (PortScanner::platformStyle() == PortScanner::NameStyle::DevicePath) {
        QCOMPARE(entries[0].displayText, QStringLiteral("/dev/ttyS2"));
        QCOMPARE(entries[2].displayText, QStringLiteral("/dev/ttyUSB2 (FT232R USB UART)"));
    }

    PortScanner nothingFree([&] { return system; }, [](const QString&) { return false; });
    QVERIFY(nothingFree.scan().isEmpty());
}

void TstByteLink::scannerDisplayTexts()
{
    using Style = PortScanner::NameStyle;
    QCOMPARE(PortScanner::displayText({ "COM3", "COM3", "USB Serial Port" }, Style::Windows), "COM 3");
    QCOMPARE(PortScanner::displayText({ "COM12", "COM12", "" }, Style::Windows), "COM 12");
    QCOMPARE(PortScanner::displayText({ "CNCA0", "CNCA0", "" }, Style::Windows), "CNCA0");
    QCOMPARE(PortScanner::displayText({ "ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART" }, Style::DevicePath),
        "/dev/ttyUSB0 (FT232R USB UART)");
    QCOMPARE(PortScanner::displayText({ "ttyS0", "/dev/ttyS0", "  " }, Style::DevicePath), "/dev/ttyS0");

    QVERIFY(PortScanner::naturalLess("COM2", "COM10"));
    QVERIFY(!PortScanner::naturalLess("COM10", "COM2"));
    QVERIFY(PortScanner::naturalLess("/dev/ttyACM0", "/dev/ttyS0"));
    QVERIFY(!PortScanner::naturalLess("COM2", "COM2"));
    // Zero padding still gives a strict order.
    QVERIFY(PortScanner::naturalLess("COM02", "COM2") != PortScanner::naturalLess("COM2", "COM02"));
}

void TstByteLink::openCloseProbeOnRealPaths()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QVERIFY(PortScanner::openCloseProbe(pty.slavePath()));
    QVERIFY(!PortScanner::openCloseProbe(QStringLiteral("/dev/velto-no-such-port")));
}

QTEST_GUILESS_MAIN(TstByteLink)
#include "tst_byte_link.moc"

// Session files: what Save... and --record write reads back row for row; damaged, cut or newer
// files are refused at the line that is wrong; the rows become the far end's script.
#include "sim/session_script.h"
#include "traffic/session_reader.h"
#include "traffic/session_writer.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::traffic;

namespace {

const QDateTime kStart
    = QDateTime::fromString(QStringLiteral("2024-05-01T14:03:07.125+02:00"), Qt::ISODateWithMs);

TrafficRow row(qint64 atMs, Direction direction, Protocol protocol, const QByteArray& bytes,
    const QString& summary = {}, bool failure = false)
{
    TrafficRow r;
    r.wallClockMs = kStart.toMSecsSinceEpoch() + atMs;
    r.sinceConnectMs = atMs;
    r.direction = direction;
    r.protocol = protocol;
    r.bytes = bytes;
    r.summary = summary;
    r.failure = failure;
    return r;
}

const QList<TrafficRow> kRows = {
    row(0, Direction::Event, Protocol::State, {}, "Port /dev/ttyUSB0 opened at 9600,n,8,1"),
    row(10, Direction::Tx, Protocol::ModbusRtu, QByteArray::fromHex("010300000002c40b"), "slave 1: read"),
    row(35, Direction::Rx, Protocol::ModbusRtu, QByteArray::fromHex("01030400070008"), "slave 1: R0..R1"),
    row(1035, Direction::Event, Protocol::ModbusRtu, {}, "Time-out: no response", true),
    row(1100, Direction::Rx, Protocol::Debug, "D 1834\tRD 1830\r\n"),
};

QByteArray session(const QList<TrafficRow>& rows, int end)
{
    QByteArray text
        = sessionHeaderText(SessionHeader { "velto-cli 0.21", kStart, "/dev/ttyUSB0", "9600,n,8,1" });
    for (const TrafficRow& r : rows)
        text += sessionRowText(r);
    return end < 0 ? text : text + sessionEndText(end);
}

// The whole file with line `line` (from 1) put in place of the original.
QByteArray replacedLine(const QByteArray& text, int line, const QByteArray& with)
{
    QList<QByteArray> lines = text.split('\n');
    lines[line - 1] = with;
    return lines.join('\n');
}

// The whole file with field `field` (from 0) of line `line` changed.
QByteArray replacedField(const QByteArray& text, int line, int field, const QByteArray& with)
{
    QList<QByteArray> fields = text.split('\n')[line - 1].split('\t');
    fields[field] = with;
    return replacedLine(text, line, fields.join('\t'));
}

QStringList describe(const QList<sim::ReplayChunk>& chunks)
{
    QStringList out;
    for (const sim::ReplayChunk& c : chunks)
        out << QStringLiteral("%1:%2").arg(c.atMs).arg(QString::fromLatin1(c.bytes.toHex()));
    return out;
}

} // namespace

class TstSessionFile : public QObject {
    Q_OBJECT
private slots:
    void readsWhatWasWritten()
    {
        const SessionRead read = parseSession(session(kRows, int(kRows.size())));
        QVERIFY2(read.session, qPrintable(read.message()));
        const Session& s = *read.session;
        QCOMPARE(s.header.program, QString("velto-cli 0.21"));
        QCOMPARE(s.header.port, QString("/dev/ttyUSB0"));
        QCOMPARE(s.header.settings, QString("9600,n,8,1"));
        QCOMPARE(s.header.date, kStart);
        QCOMPARE(s.rows.size(), 5);
        QCOMPARE(s.rows[0].protocol, Protocol::State);
        QCOMPARE(s.rows[1].direction, Direction::Tx);
        QCOMPARE(s.rows[1].protocol, Protocol::ModbusRtu);
        QCOMPARE(s.rows[1].bytes, QByteArray::fromHex("010300000002c40b"));
        QCOMPARE(s.rows[2].wallClockMs - s.rows[1].wallClockMs, qint64(25));
        QCOMPARE(s.rows[3].failure, true);
        QCOMPARE(s.rows[3].summary, QString("Time-out: no response"));
        QCOMPARE(s.rows[3].sinceConnectMs, qint64(1035));
        QCOMPARE(s.rows[4].protocol, Protocol::Debug);
        QCOMPARE(s.rows[4].bytes, QByteArray("D 1834\tRD 1830\r\n"));
        // Read with LF alone as well, as an editor may leave it.
        QVERIFY(parseSession(session(kRows, 5).replace("\r\n", "\n")).session);
    }

    void refusesFaultyFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("error");
        const QByteArray good = session(kRows, 5);
        QTest::newRow("empty") << QByteArray() << 1 << "the file is empty, not a session";
        QTest::newRow("another file") << QByteArray("PK\x03\x04 zip") << 1
                                      << "not a session file: it should begin with \"Velto traffic session\"";
        QTest::newRow("rows of an older Save")
            << good.mid(good.indexOf("Time\t")) << 1 << "a list of traffic rows without a session header";
        QTest::newRow("newer version") << replacedLine(good, 1, "Velto traffic session\t2\r") << 1
                                       << "session version 2 is newer than this program reads (1)";
        QTest::newRow("no version") << replacedLine(good, 1, "Velto traffic session\tx\r") << 1
                                    << "'x' is not a session version";
        QTest::newRow("no date") << replacedLine(good, 3, "Comment\tnone\r") << 6
                                 << "the header has no Date line before the column line";
        QTest::newRow("bad date") << replacedLine(good, 3, "Date\tyesterday\r") << 3 << "the date is not";
        QTest::newRow("row in the header")
            << replacedLine(good, 6, good.split('\n')[7]) << 6 << "not a header line";
        QTest::newRow("cut in the header") << good.left(good.indexOf("Port")) << 4
                                           << "the file ends before its column line: it was cut short";
        QTest::newRow("fields missing") << replacedLine(good, 8, "2024-05-01 14:03:07.135\t0.010\r") << 8
                                        << "a row needs 9 fields separated by tabs; this line has 2";
        QTest::newRow("bad time") << replacedField(good, 8, 0, "2024-05-01 14:03:7.1350") << 8
                                  << "the time is not of the form";
        QTest::newRow("bad direction")
            << replacedField(good, 8, 3, "OUT") << 8 << "the direction is not TX, RX or --";
        QTest::newRow("unknown protocol")
            << replacedField(good, 8, 4, "Modbus ASCII") << 8 << "'Modbus ASCII' is not a protocol";
        QTest::newRow("a byte lost") << replacedField(good, 8, 6, "01 03 00 00 00 02 C4") << 8
                                     << "the hex bytes are not 8 pairs of hex digits";
        QTest::newRow("a byte changed") << replacedField(good, 9, 6, "01 03 41 00 07 00 08") << 9
                                        << "the ASCII column does not show the hex bytes";
        QTest::newRow("rows missing")
            << session(kRows.mid(0, 3), 5) << 10 << "the End line counts 5 rows, the file has 3";
        QTest::newRow("no End line") << session(kRows, -1) << 12
                                     << "the file ends before its End line: it was cut short";
        QTest::newRow("cut in a row")
            << good.left(good.indexOf("01 03 04 00 07") + 4) << 9 << "the file breaks off in this line";
        QTest::newRow("text after End") << good + "more\r\n" << 13 << "text after the End line";
    }
    void refusesFaultyFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, line);
        QFETCH(QString, error);
        const SessionRead read = parseSession(text);
        QVERIFY(!read.session);
        QVERIFY2(read.error.startsWith(error), qPrintable(read.message()));
        QCOMPARE(read.line, line);
        QVERIFY(read.message().startsWith(QStringLiteral("line %1: ").arg(line)));
    }

    // --record's writer: the file is whole as soon as it is finished, and also when the writer goes
    // without being told; a file that cannot be made says why.
    void writerFinishesTheFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("session.txt");
        {
            SessionWriter writer(path);
            QVERIFY(writer.open(SessionHeader::thisProgram("/dev/pts/3", "19200,n,8,1")));
            for (const TrafficRow& r : kRows)
                writer.append(r);
            QVERIFY2(!parseSessionFileNow(path), "complete before its End line");
        }
        const SessionRead read = readSessionFile(path);
        QVERIFY2(read.session, qPrintable(read.message()));
        QCOMPARE(read.session->rows.size(), kRows.size());
        QCOMPARE(read.session->header.settings, QString("19200,n,8,1"));
        QVERIFY(read.session->header.program.startsWith("traffic_tst_session_file "));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray dateLine = file.readAll().split('\n').value(2);
        QVERIFY2(QRegularExpression(R"(^Date\t\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)\r$)")
                     .match(QString::fromLatin1(dateLine))
                     .hasMatch(),
            dateLine.constData());

        SessionWriter nowhere(dir.filePath("no/such/folder/session.txt"));
        QVERIFY(!nowhere.open(SessionHeader::thisProgram({}, {})));
        QVERIFY(!nowhere.errorString().isEmpty());
        QVERIFY(!readSessionFile(dir.filePath("missing.txt")).session);
        QCOMPARE(readSessionFile(dir.path()).error, dir.path() + " is not a file");
    }

    void script_data()
    {
        QTest::addColumn<QList<TrafficRow>>("rows");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QList<QStringList>>("answers");
        QTest::addColumn<QStringList>("stream");
        QTest::addColumn<bool>("echoed");
        const QByteArray req = QByteArray::fromHex("010300000002c40b");
        const QByteArray ans = QByteArray::fromHex("0103040007000821d4");
        QTest::newRow("answers in chunks, events left out")
            << QList<TrafficRow> { row(0, Direction::Rx, Protocol::Unknown, "stale"),
                   row(100, Direction::Tx, Protocol::ModbusRtu, req),
                   row(120, Direction::Rx, Protocol::ModbusRtu, ans.left(4)),
                   row(130, Direction::Rx, Protocol::ModbusRtu, ans.mid(4)),
                   row(1100, Direction::Event, Protocol::ModbusRtu, {}, "Time-out", true),
                   row(1200, Direction::Tx, Protocol::ModbusRtu, req) }
            << QStringList { "010300000002c40b", "010300000002c40b" }
            << QList<QStringList> { { "20:01030400", "30:07000821d4" }, {} } << QStringList {} << false;
        QTest::newRow("echo leaves at once")
            << QList<TrafficRow> { row(0, Direction::Tx, Protocol::VeltoAscii, "!10010\r"),
                   row(40, Direction::Rx, Protocol::VeltoAscii, "!10010\r!10011234\r") }
            << QStringList { "2131303031300d" }
            << QList<QStringList> { { "0:2131303031300d", "40:2131303031313233340d" } } << QStringList {}
            << true;
        QTest::newRow("debug output is the stream")
            << QList<TrafficRow> { row(500, Direction::Rx, Protocol::Debug, "a\r\n"),
                   row(520, Direction::Tx, Protocol::Calibration, "!M0000@"),
                   row(700, Direction::Rx, Protocol::Debug, "b\r\n") }
            << QStringList { "214d3030303040" } << QList<QStringList> { {} }
            << QStringList { "0:610d0a", "200:620d0a" } << false;
        QTest::newRow("a line cut off at the end is left out of the stream")
            << QList<TrafficRow> { row(0, Direction::Rx, Protocol::Debug, "a\r\n"),
                   row(200, Direction::Rx, Protocol::Debug, "b\r\n"),
                   row(300, Direction::Rx, Protocol::Debug, "D 15") }
            << QStringList {} << QList<QStringList> {} << QStringList { "0:610d0a", "200:620d0a" } << false;
    }
    void script()
    {
        QFETCH(QList<TrafficRow>, rows);
        QFETCH(QStringList, requests);
        QFETCH(QList<QStringList>, answers);
        QFETCH(QStringList, stream);
        QFETCH(bool, echoed);
        const sim::ReplayScript s = sim::replayScript(rows);
        QStringList gotRequests;
        QList<QStringList> gotAnswers;
        for (const sim::ReplayExchange& e : s.exchanges) {
            gotRequests << QString::fromLatin1(e.request.toHex());
            gotAnswers << describe(e.answer);
        }
        QCOMPARE(gotRequests, requests);
        QCOMPARE(gotAnswers, answers);
        QCOMPARE(describe(s.stream), stream);
        QCOMPARE(s.echoed, echoed);
    }

private:
    static bool parseSessionFileNow(const QString& path) { return readSessionFile(path).session.has_value(); }
};

QTEST_GUILESS_MAIN(TstSessionFile)
#include "tst_session_file.moc"

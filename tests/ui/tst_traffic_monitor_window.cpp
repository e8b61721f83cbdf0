#include "sim/manual_clock.h"
#include "support/fake_prompter.h"
#include "support/offscreen_screen.h"
#include "traffic/row_format.h"
#include "traffic/traffic_recorder.h"
#include "ui/traffic_filter_model.h"
#include "ui/traffic_monitor_window.h"
#include "ui/traffic_table_model.h"
#include "ui_traffic_monitor_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using traffic::Direction;
using traffic::Protocol;
using traffic::TrafficRow;

namespace {

constexpr int kSaveWaitMs = 10000;

TrafficRow row(Direction direction, Protocol protocol, const QByteArray& bytes, const QString& summary = {})
{
    TrafficRow r;
    r.direction = direction;
    r.protocol = protocol;
    r.bytes = bytes;
    r.summary = summary;
    r.failure = direction == Direction::Event;
    return r;
}

struct Fixture {
    sim::ManualClock clock;
    traffic::TrafficRecorder recorder { clock };
    test::FakePrompter prompter;
    ui::TrafficMonitorWindow window { recorder, prompter };

    Fixture()
    {
        window.show();
        // The test moves the rows into the view itself.
        window.batchTimer().stop();
    }
    Ui::FormTrafficMonitor& f() { return window.form(); }
    // A Modbus read, its answer, a Velto request and a time-out, 10 ms apart.
    void recordExchange()
    {
        const TrafficRow rows[] = {
            row(Direction::Tx, Protocol::ModbusRtu, QByteArray::fromHex("01030000000305cb"),
                "slave 1: read holding registers R0..R2 (3), CRC ok"),
            row(Direction::Rx, Protocol::ModbusRtu, QByteArray::fromHex("0103060000000000002175"),
                "slave 1: R0..R2 = 0, 0, 0, CRC ok"),
            row(Direction::Tx, Protocol::VeltoAscii, "!011202010007\r"),
            row(Direction::Event, Protocol::ModbusRtu, {},
                "Time-out: no response from slave 7 within 1000 ms"),
        };
        for (const TrafficRow& r : rows) {
            clock.advance(10);
            recorder.record(r);
        }
    }
    QStringList shownDirections()
    {
        QStringList out;
        for (const TrafficRow& r : window.shownRows())
            out << traffic::directionName(r.direction) + QLatin1Char(' ') + traffic::protocolName(r.protocol);
        return out;
    }
};

} // namespace

class TestTrafficMonitorWindow : public QObject {
    Q_OBJECT
private slots:
    void openingRecordsAndClosingStops()
    {
        Fixture fx;
        QCOMPARE(fx.window.objectName(), QString("FormTrafficMonitor"));
        QCOMPARE(fx.window.windowTitle(), QString("Traffic Monitor"));
        QCOMPARE(fx.window.batchTimer().objectName(), QString("TimerTrafficBatch"));
        QCOMPARE(fx.window.batchTimer().interval(), 50);
        QVERIFY(fx.recorder.isRecording());
        QVERIFY(fx.f().TapNoteLabel->text().contains("Modbus"));
        fx.window.close();
        QVERIFY(!fx.recorder.isRecording());
        // Opened again, it goes on recording below the rows it holds.
        fx.window.show();
        QVERIFY(fx.recorder.isRecording());
    }

    // Rows reach the view only on the batch tick, in one insertion; the columns show the row.
    void rowsComeInBatches()
    {
        Fixture fx;
        fx.window.TimerTrafficBatch_Timer(); // the "Recording started" row
        QCOMPARE(fx.window.rows().rowCount(), 1);
        QSignalSpy inserted(&fx.window.rows(), &QAbstractItemModel::rowsInserted);
        fx.recordExchange();
        QCOMPARE(fx.window.rows().rowCount(), 1);
        fx.window.TimerTrafficBatch_Timer();
        QCOMPARE(fx.window.rows().rowCount(), 5);
        QCOMPARE(inserted.size(), 1);

        const QAbstractItemModel& m = fx.window.rows();
        auto cell = [&m](int r, int c) { return m.data(m.index(r, c)).toString(); };
        QCOMPARE(cell(1, ui::TrafficTableModel::SinceConnect), QString("0.010"));
        QCOMPARE(cell(1, ui::TrafficTableModel::Gap), QString("10"));
        QCOMPARE(cell(1, ui::TrafficTableModel::Dir), QString("TX"));
        QCOMPARE(cell(1, ui::TrafficTableModel::Protocol), QString("Modbus RTU"));
        QCOMPARE(cell(1, ui::TrafficTableModel::Length), QString("8"));
        QCOMPARE(cell(1, ui::TrafficTableModel::Hex), QString("01 03 00 00 00 03 05 CB"));
        QCOMPARE(cell(3, ui::TrafficTableModel::Ascii), QString("!011202010007."));
        QCOMPARE(cell(4, ui::TrafficTableModel::Summary),
            QString("FAILURE: Time-out: no response from slave 7 within 1000 ms"));
        QCOMPARE(cell(4, ui::TrafficTableModel::Time).size(), 12); // hh:mm:ss.zzz
    }

    // A long row shows its first bytes in the table; the tooltip and Copy have every byte.
    void longRowsShowTheirStart()
    {
        Fixture fx;
        const QByteArray bytes(ui::TrafficTableModel::kShownBytes + 1, 'A');
        fx.recorder.record(row(Direction::Rx, Protocol::Debug, bytes));
        fx.window.TimerTrafficBatch_Timer();
        const QAbstractItemModel& m = fx.window.rows();
        const int last = m.rowCount() - 1;
        const QString more = QStringLiteral(" ") + ui::TrafficTableModel::kMoreMark;
        QCOMPARE(m.data(m.index(last, ui::TrafficTableModel::Ascii)).toString(),
            QString(ui::TrafficTableModel::kShownBytes, 'A') + more);
        QCOMPARE(m.data(m.index(last, ui::TrafficTableModel::Hex)).toString(),
            traffic::hexText(bytes.first(ui::TrafficTableModel::kShownBytes)) + more);
        QCOMPARE(m.data(m.index(last, ui::TrafficTableModel::Length)).toInt(), bytes.size());
        QVERIFY(m.data(m.index(last, ui::TrafficTableModel::Hex), Qt::ToolTipRole)
                    .toString()
                    .endsWith(traffic::hexText(bytes)));
        fx.window.CopyCommand_Click();
        QVERIFY(QApplication::clipboard()->text().contains(traffic::hexText(bytes)));
    }

    void filterByDirectionAndProtocol()
    {
        Fixture fx;
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        fx.f().DirectionFilterCombo->setCurrentText("RX only");
        QCOMPARE(fx.shownDirections(), QStringList { "RX Modbus RTU" });
        fx.f().DirectionFilterCombo->setCurrentText("TX only");
        QCOMPARE(fx.shownDirections(), (QStringList { "TX Modbus RTU", "TX Velto ASCII" }));
        fx.f().ProtocolFilterCombo->setCurrentText("Velto ASCII");
        QCOMPARE(fx.shownDirections(), QStringList { "TX Velto ASCII" });
        fx.f().DirectionFilterCombo->setCurrentText("Failures only");
        QVERIFY(fx.shownDirections().isEmpty());
        fx.f().ProtocolFilterCombo->setCurrentText("Modbus RTU");
        QCOMPARE(fx.shownDirections(), QStringList { "-- Modbus RTU" });
        // Rows arriving later are filtered as they come.
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QCOMPARE(fx.shownDirections().size(), 2);
        QVERIFY(fx.f().RowCountLabel->text().startsWith("2 rows shown of 9"));
    }

    // Paused, the view stands still while recording goes on; resumed, it shows what came.
    void pauseAndClear()
    {
        Fixture fx;
        fx.window.TimerTrafficBatch_Timer();
        fx.f().PauseCommand->click();
        QCOMPARE(fx.f().PauseCommand->text(), QString("&Resume"));
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QCOMPARE(fx.window.rows().rowCount(), 1);
        QVERIFY(fx.f().RowCountLabel->text().endsWith("paused, 4 new rows waiting"));
        fx.f().PauseCommand->click();
        QCOMPARE(fx.window.rows().rowCount(), 5);
        fx.f().ClearCommand->click();
        QCOMPARE(fx.window.rows().rowCount(), 0);
    }

    // The saved file: a header, then one tab-separated line per row shown, CR LF each.
    void saveWritesTheShownRows()
    {
        Fixture fx;
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.txt");
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        fx.f().ProtocolFilterCombo->setCurrentText("Modbus RTU");
        fx.prompter.fileAnswers.enqueue(path);
        QSignalSpy saved(&fx.window, &ui::TrafficMonitorWindow::saved);
        fx.f().SaveCommand->click();
        QVERIFY(saved.wait(kSaveWaitMs));
        QCOMPARE(saved[0][1].toString(), QString());
        QCOMPARE(fx.prompter.fileDialogFilters, QStringList { "Text Files (*.txt)" });
        QVERIFY(fx.prompter.messages.isEmpty());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 5); // header, three rows, nothing after the last CR LF
        QVERIFY(lines[0].startsWith("Time\tSince connect (s)\tGap (ms)\tDir\tProtocol"));
        for (int i = 0; i < 4; ++i)
            QVERIFY(lines[i].endsWith('\r'));
        QVERIFY(lines[4].isEmpty());
        const QList<QByteArray> read = lines[1].chopped(1).split('\t');
        QCOMPARE(read.size(), 9);
        QCOMPARE(read[1], QByteArray("0.010"));
        QCOMPARE(read[3], QByteArray("TX"));
        QCOMPARE(read[6], QByteArray("01 03 00 00 00 03 05 CB"));
        QCOMPARE(read[8], QByteArray("slave 1: read holding registers R0..R2 (3), CRC ok"));
        QVERIFY(lines[3].contains("\tFAILURE: Time-out: no response from slave 7 within 1000 ms\r"));
    }

    void saveThatCannotBeWrittenSaysSo()
    {
        Fixture fx;
        QTemporaryDir dir;
        const QString path = dir.filePath("no/such/folder/traffic.txt");
        fx.prompter.fileAnswers.enqueue(path);
        QSignalSpy saved(&fx.window, &ui::TrafficMonitorWindow::saved);
        fx.f().SaveCommand->click();
        QVERIFY(saved.wait(kSaveWaitMs));
        QVERIFY(!saved[0][1].toString().isEmpty());
        QCOMPARE(fx.prompter.messages.size(), 1);
        QVERIFY2(fx.prompter.lastText().startsWith("The traffic could not be saved to " + path + ": "),
            qPrintable(fx.prompter.lastText()));
        QCOMPARE(fx.prompter.messages[0].icon, Prompter::Icon::Warning);
        QVERIFY(fx.f().SaveCommand->isEnabled());
        QVERIFY(!QFile::exists(path));

        // Cancelling the dialog saves nothing and says nothing.
        fx.f().SaveCommand->click();
        QCOMPARE(fx.prompter.messages.size(), 1);
    }

    void copyPutsRowsOnTheClipboard()
    {
        Fixture fx;
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        fx.f().TrafficTable->selectRow(2);
        fx.f().CopyCommand->click();
        QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].contains("\tRX\tModbus RTU\t11\t"));
        fx.f().TrafficTable->clearSelection();
        fx.f().CopyCommand->click();
        lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 5);
    }

    // The view's rows are bounded: the oldest go, the removal and insertion come as one each,
    // and rows waiting while paused are bounded too.
    void boundedRows()
    {
        ui::TrafficTableModel model(5);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 4; ++i)
            model.append(row(Direction::Tx, Protocol::Flash, QByteArray::number(i)));
        model.flush();
        for (int i = 4; i < 8; ++i)
            model.append(row(Direction::Tx, Protocol::Flash, QByteArray::number(i)));
        model.flush();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.dropped(), 3);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(model.rows().at(0).bytes, QByteArray("3"));
        QCOMPARE(model.rows().at(4).bytes, QByteArray("7"));

        for (int i = 8; i < 20; ++i)
            model.append(row(Direction::Tx, Protocol::Flash, QByteArray::number(i)));
        QCOMPARE(model.waiting(), 5);
        model.flush();
        QCOMPARE(model.rows().at(0).bytes, QByteArray("15"));
        QCOMPARE(model.dropped(), 15);
    }
};

VELTO_QTEST_MAIN_ON_SCREEN(TestTrafficMonitorWindow, 1366, 768)
#include "tst_traffic_monitor_window.moc"

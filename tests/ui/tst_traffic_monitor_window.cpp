#include "serial/tapped_byte_link.h"
#include "sim/manual_clock.h"
#include "support/fake_byte_link.h"
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
#include <QScrollBar>
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

// One more row after recordExchange(): a read of the second slave.
void clockAdvanceAndRecord(Fixture& fx)
{
    fx.clock.advance(10);
    fx.recorder.record(row(Direction::Tx, Protocol::ModbusRtu, QByteArray::fromHex("020300000003"),
        "slave 2: read holding registers R0..R2 (3), CRC ok"));
}

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
        // The Gap column measures between the rows shown, not from rows filtered out.
        fx.f().DirectionFilterCombo->setCurrentText("TX, RX and failures");
        fx.f().ProtocolFilterCombo->setCurrentText("Modbus RTU");
        const QAbstractItemModel& shown = fx.window.shown();
        auto gap
            = [&shown](int r) { return shown.data(shown.index(r, ui::TrafficTableModel::Gap)).toString(); };
        QCOMPARE((QStringList { gap(0), gap(1), gap(2) }), (QStringList { "0", "10", "20" }));
        fx.f().ProtocolFilterCombo->setCurrentText("All protocols");
        QCOMPARE((QStringList { gap(1), gap(2), gap(3), gap(4) }), (QStringList { "10", "10", "10", "10" }));
        fx.f().ProtocolFilterCombo->setCurrentText("Velto ASCII");
        fx.f().DirectionFilterCombo->setCurrentText("TX only");
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

    // The saved file is a session: its header, then one tab-separated line per row shown, CR LF each.
    void saveWritesTheShownRows()
    {
        Fixture fx;
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.txt");
        fx.recorder.setLine("/dev/ttyUSB0", "19200,n,8,1");
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        fx.f().ProtocolFilterCombo->setCurrentText("Modbus RTU");
        // Typed without a suffix: the filter's is added.
        fx.prompter.fileAnswers.enqueue(dir.filePath("traffic"));
        QSignalSpy saved(&fx.window, &ui::TrafficMonitorWindow::saved);
        fx.f().SaveCommand->click();
        QVERIFY(saved.wait(kSaveWaitMs));
        QCOMPARE(saved[0][1].toString(), QString());
        QCOMPARE(fx.prompter.fileDialogFilters, QStringList { "Text Files (*.txt)" });
        QVERIFY(fx.prompter.messages.isEmpty());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.size(), 11); // six header lines, three rows, End, nothing after the last CR LF
        QCOMPARE(lines[0], QByteArray("Velto traffic session\t1\r"));
        QCOMPARE(lines[3], QByteArray("Port\t/dev/ttyUSB0\r"));
        QCOMPARE(lines[4], QByteArray("Settings\t19200,n,8,1\r"));
        QVERIFY(lines[5].startsWith("Time\tSince connect (s)\tGap (ms)\tDir\tProtocol"));
        for (int i = 0; i < 10; ++i)
            QVERIFY(lines[i].endsWith('\r'));
        QCOMPARE(lines[9], QByteArray("End\t3\r"));
        QVERIFY(lines[10].isEmpty());
        const QList<QByteArray> read = lines[6].chopped(1).split('\t');
        QCOMPARE(read.size(), 9);
        QCOMPARE(read[1], QByteArray("0.010"));
        QCOMPARE(read[3], QByteArray("TX"));
        QCOMPARE(read[6], QByteArray("01 03 00 00 00 03 05 CB"));
        QCOMPARE(read[8], QByteArray("slave 1: read holding registers R0..R2 (3), CRC ok"));
        QVERIFY(lines[8].contains("\tFAILURE: Time-out: no response from slave 7 within 1000 ms\r"));
        // Gaps between the rows saved, as the filtered view shows them: none above the first.
        QCOMPARE(read[2], QByteArray("0"));
        QCOMPARE(lines[7].split('\t')[2], QByteArray("10"));
        QCOMPARE(lines[8].split('\t')[2], QByteArray("20"));
        QVERIFY(!QFile::exists(dir.filePath("traffic")));
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

        // Ctrl+C in the table copies what Copy copies, not the one cell under the cursor.
        fx.f().TrafficTable->selectRow(2);
        const QString copied = QApplication::clipboard()->text();
        fx.f().CopyCommand->click();
        const QString byButton = QApplication::clipboard()->text();
        QApplication::clipboard()->setText(copied);
        QTest::keyClick(fx.f().TrafficTable, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), byButton);
        QCOMPARE(byButton.split('\n', Qt::SkipEmptyParts).size(), 2);
    }

    // Selecting a row to read it stops the view following new rows; Follow resumes.
    void selectingARowStopsFollowing()
    {
        Fixture fx;
        QTableView* table = fx.f().TrafficTable;
        QScrollBar* bar = table->verticalScrollBar();
        QVERIFY(fx.f().FollowCommand->isChecked());
        for (int i = 0; i < 20; ++i)
            fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());

        table->selectRow(5);
        table->scrollTo(fx.window.shown().index(5, 0));
        QVERIFY(!fx.f().FollowCommand->isChecked());
        const int readingAt = bar->value();
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QCOMPARE(bar->value(), readingAt);

        fx.f().FollowCommand->click();
        QVERIFY(fx.f().FollowCommand->isChecked());
        QCOMPARE(bar->value(), bar->maximum());
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QCOMPARE(bar->value(), bar->maximum());

        // Scrolling up by hand stops it too.
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        QVERIFY(!fx.f().FollowCommand->isChecked());
        const int scrolledTo = bar->value();
        fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QCOMPARE(bar->value(), scrolledTo);
    }

    // The find box jumps between the rows shown that hold a text, or that talk to a slave.
    void findJumpsBetweenMatchingRows()
    {
        Fixture fx;
        fx.recordExchange();
        clockAdvanceAndRecord(fx);
        fx.window.TimerTrafficBatch_Timer();
        QTableView* table = fx.f().TrafficTable;
        auto selected = [table]() { return table->currentIndex().row(); };

        fx.f().FindText->setText("read holding");
        QTest::keyClick(fx.f().FindText, Qt::Key_Return);
        QCOMPARE(selected(), 1);
        QCOMPARE(fx.f().FindResultLabel->text(), QString("row 1 of 2"));
        fx.f().FindNextCommand->click();
        QCOMPARE(selected(), 5);
        QCOMPARE(fx.f().FindResultLabel->text(), QString("row 2 of 2"));
        fx.f().FindNextCommand->click(); // round the end
        QCOMPARE(selected(), 1);
        fx.f().FindPreviousCommand->click();
        QCOMPARE(selected(), 5);
        QVERIFY(!fx.f().FollowCommand->isChecked());

        // Hex bytes, case ignored.
        fx.f().FindText->setText("05 cb");
        fx.f().FindNextCommand->click();
        QCOMPARE(selected(), 1);

        // Slave 1: its Modbus request and answer and the Velto request to address 1; not slave 2.
        fx.f().FindModeCombo->setCurrentText("Slave");
        fx.f().FindText->setText("1");
        QList<int> rows;
        for (int i = 0; i < 4; ++i) {
            fx.f().FindNextCommand->click();
            rows << selected();
        }
        QCOMPARE(rows, (QList<int> { 2, 3, 1, 2 }));
        fx.f().FindText->setText("0x02");
        fx.f().FindNextCommand->click();
        QCOMPARE(selected(), 5);
        fx.f().FindText->setText("two");
        fx.f().FindNextCommand->click();
        QCOMPARE(fx.f().FindResultLabel->text(), QString("enter a slave address, 0 to 999"));
        QCOMPARE(selected(), 5);

        // Only the rows shown are searched.
        fx.f().FindModeCombo->setCurrentText("Text");
        fx.f().ProtocolFilterCombo->setCurrentText("Velto ASCII");
        fx.f().FindText->setText("read holding");
        fx.f().FindNextCommand->click();
        QCOMPARE(fx.f().FindResultLabel->text(), QString("no match"));
    }

    // The monitor's own rows and the debug terminal's lines say what they are.
    void stateAndDebugRowsAreNamed()
    {
        Fixture fx;
        test::FakeByteLink port;
        serial::TappedByteLink debugLine(port);
        fx.recorder.watchLine(debugLine, Protocol::Debug);
        debugLine.open("/dev/ttyDEBUG", "9600,n,8,1");
        port.receive("D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx 2600 Tp 23 "
                     "M 1 C 1 S 0\r\nR_SEARCH : Occur jump\r\nTaliq485 v2.3\r\n");
        fx.recorder.markConnected("Connected: /dev/ttyFAKE0 at 9600,n,8,1");
        fx.window.TimerTrafficBatch_Timer();
        const QAbstractItemModel& m = fx.window.rows();
        QStringList rows;
        for (int r = 0; r < m.rowCount(); ++r)
            rows << m.data(m.index(r, ui::TrafficTableModel::Protocol)).toString() + " | "
                    + m.data(m.index(r, ui::TrafficTableModel::Summary)).toString();
        QCOMPARE(rows,
            (QStringList { "State | Recording started", "Debug | Port /dev/ttyDEBUG opened at 9600,n,8,1",
                "Debug | record: D 1523 RD 1530 RD2 1528 P 45 G 12 Z 3 A 812 Th 150 N 4 Ti 2200 Tn 1800 Tx "
                "2600 Tp 23 M 1 C 1 S 0",
                "Debug | search: jump: R_SEARCH : Occur jump", "Debug | text: Taliq485 v2.3",
                "State | Connected: /dev/ttyFAKE0 at 9600,n,8,1" }));
    }

    // Paused with rows waiting, the status line is read whole, even in the narrowest window.
    void statusLineIsNotClipped()
    {
        Fixture fx;
        fx.window.resize(fx.window.minimumSizeHint());
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window));
        fx.window.TimerTrafficBatch_Timer();
        fx.f().PauseCommand->click();
        for (int i = 0; i < 30; ++i)
            fx.recordExchange();
        fx.window.TimerTrafficBatch_Timer();
        QLabel* label = fx.f().RowCountLabel;
        QVERIFY(label->text().endsWith("paused, 120 new rows waiting"));
        QVERIFY2(label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(label->text()),
            qPrintable(QString("%1 px for %2 px of text")
                           .arg(label->contentsRect().width())
                           .arg(label->fontMetrics().horizontalAdvance(label->text()))));
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

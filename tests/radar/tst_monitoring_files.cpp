#include "radar/measurement_sequence.h"
#include "radar/monitoring_files.h"
#include "radar/radar_box_names.h"
#include "sim/manual_clock.h"
#include "sim/radar_responder.h"
#include "support/fake_byte_link.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;
using namespace velto::radar;

namespace {

constexpr int kGuardMs = 60000;
constexpr RadarController::ReplyWindows kFastWindows { 20, 40, 60 };
constexpr qint64 kMsPerCommand = 250;

// The data of a monitoring reply without its block headers.
QByteArray payloadOf(const QByteArray& blocks)
{
    QByteArray out;
    for (qsizetype at = 0; at + 68 <= blocks.size(); at += 68)
        out += blocks.mid(at + 4, 64);
    return out;
}

// The sequence against the simulated radar, a clock that moves 250 ms per command, and the files
// in a folder of their own.
struct Rig {
    QTemporaryDir dir;
    test::FakeByteLink link;
    sim::ManualClock clock;
    RadarController controller { link, clock };
    QTimer& timerRx = *controller.link().timerRx();
    MeasurementSequence sequence { controller };
    sim::RadarResponder sensor;
    QStringList errors;
    MonitoringFiles files { dir.path() + "/Rendo Monitor/", [this](const QString& m) { errors << m; } };
    QStringList distances; // DistanceOrLevelText of each accepted Send Status
    QList<RequestTimes> monitoringTimes; // of each accepted monitoring reply
    QList<QByteArray> payloads; // of each monitoring reply the sensor sent
    QSignalSpy ended { &sequence, &MeasurementSequence::ended };

    Rig()
    {
        link.opened = true;
        controller.link().restartClock();
        controller.setReplyWindows(kFastWindows);
        sequence.setPacing({ 0, 0 });
        controller.setFileSink(&files);
        // Drawn while the reply is judged, before the sequence sends the next request.
        controller.inputs().graph = true;
        QObject::connect(&controller, &RadarController::graphRequested, &controller, [this] {
            monitoringTimes << RequestTimes { controller.link().sendMs(), controller.link().receiveMs() };
        });
        QObject::connect(&controller, &RadarController::commandSent, &controller, [this](RadarCommand) {
            clock.advance(kMsPerCommand);
            const QByteArray frame = link.written.last();
            QTimer::singleShot(0, &controller, [this, frame] {
                for (const sim::RadarReply& r : sensor.respond(frame, 0)) {
                    if (quint8(frame.at(2)) == 0xF4)
                        payloads << payloadOf(r.bytes);
                    link.receive(r.bytes);
                }
            });
        });
        QObject::connect(
            &controller, &RadarController::replyJudged, &controller, [this](const JudgedReply& r) {
                if (!r.accepted)
                    return;
                for (const BoxUpdate& b : r.boxes)
                    if (b.objectName == box::kDistanceOrLevelText && b.text)
                        distances << *b.text;
            });
    }
    QString path() const { return files.folder() + controller.inputs().fileName; }
    bool run()
    {
        ended.clear();
        sequence.StartOrStopMeasCommand_Click();
        return ended.wait(kGuardMs) && ended.last().at(0).toBool();
    }
    bool more()
    {
        ended.clear();
        sequence.MoreCommand_Click();
        return ended.wait(kGuardMs) && ended.last().at(0).toBool();
    }
    QStringList fileLines() const
    {
        QFile f(path());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray text = f.readAll();
        if (!text.endsWith("\r\n"))
            return { "missing CR LF at the end" };
        QStringList lines = QString::fromUtf8(text.chopped(2)).split("\r\n");
        return lines;
    }
};

QString seconds(qint64 ms)
{
    return QString::number(double(ms) / 1000, 'g', 10);
}

// The record as the files start with it: the handshakes take three commands, then one status each.
QStringList record(int series, int count, const QString& laser, const QString& mode,
    const QStringList& distances, int firstStatusCommand = 4)
{
    QStringList lines { QString::number(1000000 + series), QString::number(count), laser, mode };
    for (int k = 0; k < count; ++k) {
        const qint64 ms = (firstStatusCommand + k) * kMsPerCommand;
        lines << QStringLiteral("%1.%2").arg(ms / 1000).arg(ms % 1000, 3, 10, QChar('0'))
              << distances.value(k);
    }
    return lines;
}

QStringList spectrumValues(const QByteArray& payload)
{
    QStringList out;
    for (char c : payload)
        out << QString::number(quint8(c));
    return out;
}

QStringList timeDomainFileValues(const QByteArray& payload)
{
    QStringList out;
    for (int i = 256; i <= 7498; ++i)
        out << QString::number(quint8(payload[2 * i]) * 256 + quint8(payload[2 * i + 1]));
    return out;
}

} // namespace

class TstMonitoringFiles : public QObject {
    Q_OBJECT
private slots:
    void distanceOnlyRunOfFive();
    void spectrumFile();
    void timeDomainFile();
    void combinedFile();
    void startOverwritesMoreAppends();
    void unwritablePlacesWriteNothing();
    void failedAppendKeepsTheFileWhole();
    void timeDomainWithoutSpectrumIsNotCombined();
};

void TstMonitoringFiles::distanceOnlyRunOfFive()
{
    Rig rig;
    rig.controller.inputs().distanceByLaser = "1.5";
    QVERIFY(rig.run());
    QCOMPARE(rig.distances.size(), 5);
    const QStringList lines = rig.fileLines();
    QCOMPARE(lines.size(), 14);
    QCOMPARE(lines, record(0, 5, "1.5000", "Mode 0", rig.distances));
    QVERIFY(rig.errors.isEmpty());
}

void TstMonitoringFiles::spectrumFile()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().numOfAutomeasurement = 2;
    QVERIFY(rig.run());
    QCOMPARE(rig.monitoringTimes.size(), 1);
    const RequestTimes t = rig.monitoringTimes.first();
    QCOMPARE(rig.fileLines(),
        record(0, 2, "0.0000", "Mode 1", rig.distances) + spectrumValues(rig.payloads.value(0))
            + QStringList({ seconds(t.sendMs), seconds(t.receiveMs) }));
}

void TstMonitoringFiles::timeDomainFile()
{
    Rig rig;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    rig.controller.inputs().fileName = "td.txt";
    QVERIFY(rig.run());
    const RequestTimes t = rig.monitoringTimes.first();
    const QStringList lines = rig.fileLines();
    QCOMPARE(lines.size(), 4 + 2 + 7243 + 2);
    QCOMPARE(lines,
        record(0, 1, "0.0000", "Mode 2", rig.distances) + timeDomainFileValues(rig.payloads.value(0))
            + QStringList({ seconds(t.sendMs), seconds(t.receiveMs) }));
}

void TstMonitoringFiles::combinedFile()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    QVERIFY(rig.run());
    QCOMPARE(rig.monitoringTimes.size(), 2);
    const RequestTimes s = rig.monitoringTimes.at(0);
    const RequestTimes t = rig.monitoringTimes.at(1);
    QVERIFY(s.sendMs < t.sendMs);
    QCOMPARE(rig.fileLines(),
        record(0, 1, "0.0000", "Mode 3", rig.distances) + spectrumValues(rig.payloads.value(0))
            + QStringList({ seconds(s.sendMs), seconds(s.receiveMs) })
            + timeDomainFileValues(rig.payloads.value(1))
            + QStringList({ seconds(t.sendMs), seconds(t.receiveMs) }));
}

void TstMonitoringFiles::startOverwritesMoreAppends()
{
    Rig rig;
    rig.controller.inputs().numOfAutomeasurement = 2;
    QVERIFY(rig.run());
    const QStringList first = rig.fileLines();
    QCOMPARE(first.size(), 8);
    QCOMPARE(first.first(), QString("1000000"));

    // More: the next series (index 1) goes after the first, without a new handshake.
    const QStringList firstDistances = rig.distances;
    QVERIFY(rig.more());
    const QStringList both = rig.fileLines();
    QCOMPARE(both.size(), 16);
    QCOMPARE(both.mid(0, 8), first);
    QCOMPARE(both.mid(8), record(1, 2, "0.0000", "Mode 0", rig.distances.mid(2), 6));

    // Stop, then Start again: the run starts its file afresh.
    rig.sequence.StartOrStopMeasCommand_Click();
    rig.distances.clear();
    QVERIFY(rig.run());
    const QStringList again = rig.fileLines();
    QCOMPARE(again.size(), 8);
    QCOMPARE(again.first(), QString("1000000"));
}

void TstMonitoringFiles::unwritablePlacesWriteNothing()
{
    // An empty name leaves the folder itself as the path.
    {
        Rig rig;
        rig.controller.inputs().fileName.clear();
        rig.controller.inputs().numOfAutomeasurement = 1;
        rig.sequence.StartOrStopMeasCommand_Click();
        QVERIFY(rig.ended.wait(kGuardMs));
        QCOMPARE(rig.ended.last().at(0).toBool(), false);
        QCOMPARE(rig.errors, QStringList { MonitoringFiles::kFileErrorMessage });
        QCOMPARE(MonitoringFiles::kFileErrorMessage.split("\r\n").size(), 4);
        QVERIFY(!rig.controller.fileOk());
        QVERIFY(QDir(rig.files.folder()).isEmpty());
        QVERIFY(!rig.timerRx.isActive());
    }
    // A folder that cannot be made: a file stands where it should be.
    {
        QTemporaryDir dir;
        QFile blocker(dir.path() + "/Rendo Monitor");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QStringList errors;
        MonitoringFiles files(dir.path() + "/Rendo Monitor/", [&](const QString& m) { errors << m; });
        RadarInputs in;
        MonitoringRecord rec;
        QCOMPARE(files.writeRecord(in, rec, false).outcome, RadarFileSink::Result::Outcome::Failed);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(QFileInfo(blocker.fileName()).size(), 0);
    }
    // The monitoring data of a failing write is not written either, and the run ends.
    {
        Rig rig;
        rig.controller.inputs().fileName.clear();
        rig.controller.inputs().spectrum = true;
        rig.controller.inputs().numOfAutomeasurement = 1;
        QVERIFY(!rig.run());
        QCOMPARE(rig.errors.size(), 1);
        QCOMPARE(rig.monitoringTimes.size(), 1); // fetched once, not again after the failure
        QVERIFY(QDir(rig.files.folder()).isEmpty());
    }
}

void TstMonitoringFiles::failedAppendKeepsTheFileWhole()
{
    QTemporaryDir dir;
    QStringList errors;
    MonitoringFiles files(dir.path() + "/", [&](const QString& m) { errors << m; });
    RadarInputs in;
    in.fileName = "run.txt";
    MonitoringRecord rec;
    rec.measurements = 1;
    rec.times << "1.000";
    rec.distances << "2.0000";
    using Outcome = RadarFileSink::Result::Outcome;
    QCOMPARE(files.writeRecord(in, rec, false).outcome, Outcome::Written);
    QFile f(dir.path() + "/run.txt");
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    QCOMPARE(before, QByteArray("1000000\r\n1\r\n0.0000\r\nMode 0\r\n1.000\r\n2.0000\r\n"));

    // Appending needs the file of the run; it has gone, so nothing is made up in its place.
    QVERIFY(QFile::remove(f.fileName()));
    QCOMPARE(files.writeRecord(in, rec, true).outcome, Outcome::Failed);
    QVERIFY(!QFile::exists(f.fileName()));
    QCOMPARE(errors.size(), 1);

    // A folder that refuses new files leaves the file as it was.
    QCOMPARE(files.writeRecord(in, rec, false).outcome, Outcome::Written);
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    const bool refused = files.writeRecord(in, rec, true).outcome == Outcome::Failed;
    QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (refused) {
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QCOMPARE(errors.size(), 2);
    } // else: running as root, where permissions do not refuse
}

void TstMonitoringFiles::timeDomainWithoutSpectrumIsNotCombined()
{
    CombinedMonitoringData data;
    const QList<qint32> samples(7243, 7);
    QVERIFY(!data.addTimeDomain(samples, { 1, 2 }));
    QCOMPARE(data.size(), 0);
    // Twice in a row: still no file of samples alone.
    QVERIFY(!data.addTimeDomain(samples, { 3, 4 }));
    data.addSpectrum(QByteArray(4096, 'A'), { 5, 6 });
    QVERIFY(data.addTimeDomain(samples, { 7, 8 }));
    MonitoringRecord rec;
    const QStringList lines = data.lines(rec);
    QCOMPARE(lines.size(), 4 + 4096 + 2 + 7243 + 2);
    QCOMPARE(lines.at(4), QString("65"));
    QCOMPARE(lines.mid(4 + 4096, 3), (QStringList { "0.005", "0.006", "7" }));
    QCOMPARE(lines.last(), QString("0.008"));
    // A short sample list completes nothing.
    data.addSpectrum(QByteArray(4096, 'A'), { 5, 6 });
    QVERIFY(!data.addTimeDomain(samples.first(100), { 7, 8 }));
    QCOMPARE(data.size(), 0);
}

QTEST_GUILESS_MAIN(TstMonitoringFiles)
#include "tst_monitoring_files.moc"

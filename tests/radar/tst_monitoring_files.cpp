#include "radar/measurement_sequence.h"
#include "radar/monitoring_files.h"
#include "radar/radar_box_names.h"
#include "support/radar_rig.h"

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
constexpr qsizetype kStatusReplySize = 13;

// The sequence against the simulated radar, a clock that moves 250 ms per command, and the files
// in a folder of their own. The sensor answers every command as at its start: 3.0000 m.
struct Rig : test::FakeRadarRig {
    QTemporaryDir dir;
    QStringList errors;
    MonitoringFiles files { dir.path() + "/Rendo Monitor/", [this](const QString& m) { errors << m; } };

    Rig()
    {
        controller.link().restartClock();
        controller.setReplyWindows(kFastWindows);
        controller.setFileSink(&files);
        sensorAnswers(kMsPerCommand);
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
    // The data of each monitoring reply the sensor sent, without its block headers.
    QByteArray payload(int index) const
    {
        QList<QByteArray> monitoring;
        for (const QByteArray& reply : sensorReplies)
            if (reply.size() > kStatusReplySize)
                monitoring << reply;
        QByteArray out;
        const QByteArray blocks = monitoring.value(index);
        for (qsizetype at = 0; at + 68 <= blocks.size(); at += 68)
            out += blocks.mid(at + 4, 64);
        return out;
    }
};

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
    // The clock moves 250 ms as each command leaves: the handshakes are answered at 0.25, 0.5 and
    // 0.75 s, the five distances from 1 s on.
    QCOMPARE(rig.fileLines(),
        QStringList({ "1000000", "5", "1.5000", "Mode 0", "1.000", "3.0000", "1.250", "3.0000", "1.500",
            "3.0000", "1.750", "3.0000", "2.000", "3.0000" }));
    QVERIFY(rig.errors.isEmpty());
}

void TstMonitoringFiles::spectrumFile()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().numOfAutomeasurement = 2;
    QVERIFY(rig.run());
    QCOMPARE(rig.sent.count(RadarCommand::Monitoring), 1);
    // The StandBy before the monitoring is answered at 1.5 s, when the request leaves; its reply
    // comes at 1.75 s.
    QCOMPARE(rig.fileLines(),
        QStringList({ "1000000", "2", "0.0000", "Mode 1", "1.000", "3.0000", "1.250", "3.0000" })
            + spectrumValues(rig.payload(0)) + QStringList({ "1.5", "1.75" }));
}

void TstMonitoringFiles::timeDomainFile()
{
    Rig rig;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    rig.controller.inputs().fileName = "td.txt";
    QVERIFY(rig.run());
    const QStringList lines = rig.fileLines();
    QCOMPARE(lines.size(), 4 + 2 + 7243 + 2);
    QCOMPARE(lines,
        QStringList({ "1000000", "1", "0.0000", "Mode 2", "1.000", "3.0000" })
            + timeDomainFileValues(rig.payload(0)) + QStringList({ "1.25", "1.5" }));
}

void TstMonitoringFiles::combinedFile()
{
    Rig rig;
    rig.controller.inputs().spectrum = true;
    rig.controller.inputs().timeDomain = true;
    rig.controller.inputs().numOfAutomeasurement = 1;
    QVERIFY(rig.run());
    QCOMPARE(rig.sent.count(RadarCommand::Monitoring), 2);
    QCOMPARE(rig.fileLines(),
        QStringList({ "1000000", "1", "0.0000", "Mode 3", "1.000", "3.0000" })
            + spectrumValues(rig.payload(0)) + QStringList({ "1.25", "1.5" })
            + timeDomainFileValues(rig.payload(1)) + QStringList({ "1.5", "1.75" }));
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
    QVERIFY(rig.more());
    const QStringList both = rig.fileLines();
    QCOMPARE(both.size(), 16);
    QCOMPARE(both.mid(0, 8), first);
    QCOMPARE(both.mid(8),
        QStringList({ "1000001", "2", "0.0000", "Mode 0", "1.500", "3.0000", "1.750", "3.0000" }));

    // Stop, then Start again: the run starts its file afresh.
    rig.sequence.StartOrStopMeasCommand_Click();
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
        QCOMPARE(rig.sent.count(RadarCommand::Monitoring), 1); // fetched once, not again after the failure
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

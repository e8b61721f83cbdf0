#include "radar/radar_frame.h"
#include "radar/status_reply.h"

#include <QTest>

using namespace velto::radar;

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
} // namespace

class TstRadarProtocol : public QObject {
    Q_OBJECT
private slots:
    void commandFrames_data();
    void commandFrames();
    void parametersAreLittleEndian();
    void dataSelection_data();
    void dataSelection();
    void hexTexts();
    void statusReplies_data();
    void statusReplies();
    void sendStatusValues();
    void wrongChecksumCarriesNoValues();
    void neverReadsPastTheEnd();
};

void TstRadarProtocol::commandFrames_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<quint8>("dataSelector");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("StandBy") << int(RadarCommand::StandBy) << quint8(0)
                             << hex("55 AA 05 00 00 00 00 00 00 00 00 00 00 00 00 00 00 04");
    QTest::newRow("Send Status") << int(RadarCommand::SendStatus) << quint8(0)
                                 << hex("55 AA 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    QTest::newRow("Track") << int(RadarCommand::Track) << quint8(0)
                           << hex("55 AA 03 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02");
    QTest::newRow("Set Parameters, defaults")
        << int(RadarCommand::SetParameters) << quint8(0)
        << hex("55 AA F8 00 42 27 4C 04 00 00 00 00 00 00 00 00 00 40 00 00 00 00 00 F0");
    QTest::newRow("Monitoring, time domain")
        << int(RadarCommand::Monitoring) << selector::kTimeDomain
        << hex("55 AA F4 00 00 00 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00 00 F7");
    QTest::newRow("Monitoring, spectrum")
        << int(RadarCommand::Monitoring) << selector::kSpectrum
        << hex("55 AA F4 00 00 00 00 00 00 00 00 00 00 00 00 00 00 10 00 00 00 00 00 03");
}

void TstRadarProtocol::commandFrames()
{
    QFETCH(int, command);
    QFETCH(quint8, dataSelector);
    QFETCH(QByteArray, frame);
    QCOMPARE(buildRadarFrame(RadarCommand(command), RadarParameters {}, dataSelector).toHex(' '),
        frame.toHex(' '));
}

void TstRadarProtocol::parametersAreLittleEndian()
{
    RadarParameters p;
    p.tankHeightMm = 256;
    p.trueLiquidHeightMm = 40000; // 0x9C40
    p.centralFrequencyMHz = 9500; // 0x251C
    p.bandMHz = 50;
    const QByteArray f = buildRadarFrame(RadarCommand::SetParameters, p, selector::kNone);
    QCOMPARE(f.size(), kLongFrameSize);
    QCOMPARE(f.mid(4, 8).toHex(' '), QByteArray("1c 25 32 00 00 01 40 9c"));
    QCOMPARE(quint8(f[17]), selector::kSetParameters);
    QCOMPARE(quint8(f[23]), quint8(0x87));
    // Parameters travel only with Set Parameters.
    QCOMPARE(
        buildRadarFrame(RadarCommand::Monitoring, p, selector::kSpectrum).mid(4, 8), QByteArray(8, '\0'));
}

void TstRadarProtocol::dataSelection_data()
{
    QTest::addColumn<bool>("spectrum");
    QTest::addColumn<bool>("timeDomain");
    QTest::addColumn<int>("kindBefore");
    QTest::addColumn<quint8>("selector");
    QTest::addColumn<int>("kindAfter");
    QTest::newRow("both, kind spectrum") << true << true << 0 << selector::kSpectrum << 0;
    QTest::newRow("both, kind time") << true << true << 1 << selector::kTimeDomain << 1;
    QTest::newRow("spectrum only") << true << false << 1 << selector::kSpectrum << 0;
    QTest::newRow("time only") << false << true << 0 << selector::kTimeDomain << 1;
    QTest::newRow("neither") << false << false << 1 << selector::kNone << 1;
}

void TstRadarProtocol::dataSelection()
{
    QFETCH(bool, spectrum);
    QFETCH(bool, timeDomain);
    QFETCH(int, kindBefore);
    QFETCH(quint8, selector);
    QFETCH(int, kindAfter);
    const DataSelection s = selectMonitoringData(spectrum, timeDomain, MonitoringKind(kindBefore));
    QCOMPARE(s.selector, selector);
    QCOMPARE(int(s.kind), kindAfter);
}

void TstRadarProtocol::hexTexts()
{
    QCOMPARE(hexDump(hex("55 AA 01")), QString(" 55  AA  01 "));
    QCOMPARE(hexDump({}), QString());
}

void TstRadarProtocol::statusReplies_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("log");
    using O = StatusReply::Outcome;
    const QByteArray standby = hex("55 AA 05 00 00 00 00 00 00 00 00 00 04");
    QTest::newRow("nothing") << int(RadarCommand::StandBy) << QByteArray() << int(O::NoResponse)
                             << "No Response";
    QTest::newRow("12 bytes") << int(RadarCommand::StandBy) << standby.first(12) << int(O::NoResponse)
                              << "No Response";
    QTest::newRow("standby accepted") << int(RadarCommand::StandBy) << standby << int(O::Accepted)
                                      << " 55  AA  05  00  00  00  00  00  00  00  00  00  04 ";
    QTest::newRow("noise before the header")
        << int(RadarCommand::StandBy) << hex("00 55 13 55 AA") + standby << int(O::Accepted)
        << " 55  AA  05  00  00  00  00  00  00  00  00  00  04 ";
    QTest::newRow("standby header") << int(RadarCommand::StandBy)
                                    << hex("55 AA 03 00 00 00 00 00 00 00 00 00 02") << int(O::WrongHeader)
                                    << "Incorrect Standby Header";
    QTest::newRow("send status header")
        << int(RadarCommand::SendStatus) << standby << int(O::WrongHeader) << "Incorrect Send Status Header";
    QTest::newRow("track header") << int(RadarCommand::Track) << standby << int(O::WrongHeader)
                                  << "Incorrect Track Header";
    QTest::newRow("parameters header") << int(RadarCommand::SetParameters) << standby << int(O::WrongHeader)
                                       << "Incorrect Parameters Header";
    const QByteArray status = hex("55 AA 01 10 27 00 00 00 00 00 00 1E 55");
    QTest::newRow("answered twice") << int(RadarCommand::SendStatus) << status + status
                                    << int(O::AnsweredTwice)
                                    << "Incorrect Send Status Header (more than one answer)";
    QTest::newRow("answered twice, noise between")
        << int(RadarCommand::StandBy) << standby + hex("00 55 AA") + standby << int(O::AnsweredTwice)
        << "Incorrect Standby Header (more than one answer)";
    // What follows the answer is no second one unless it is whole and sums right.
    QTest::newRow("a broken second answer")
        << int(RadarCommand::SendStatus) << status + status.first(12) + hex("00") << int(O::Accepted)
        << " 55  AA  01  10  27  00  00  00  00  00  00  1E  55 ";
    QTest::newRow("checksum") << int(RadarCommand::StandBy) << hex("55 AA 05 00 00 00 00 00 00 00 00 00 05")
                              << int(O::WrongChecksum) << "Incorrect Checksum";
    // The header is found three bytes before the end: nothing is read past it and nothing is said.
    QTest::newRow("ends before its checksum")
        << int(RadarCommand::StandBy) << hex("00 00 00 00 00 00 00 00 00 55 AA 05 00") << int(O::Incomplete)
        << QString();
    // The search stops four bytes before the end, so a header in the last three bytes is not one.
    QTest::newRow("header too late") << int(RadarCommand::StandBy)
                                     << hex("00 00 00 00 00 00 00 00 00 00 00 55 AA 05")
                                     << int(O::WrongHeader) << "Incorrect Standby Header";
}

void TstRadarProtocol::statusReplies()
{
    QFETCH(int, command);
    QFETCH(QByteArray, buffer);
    QFETCH(int, outcome);
    QFETCH(QString, log);
    const StatusReply r = judgeStatusReply(buffer, RadarCommand(command));
    QCOMPARE(int(r.outcome), outcome);
    QCOMPARE(r.logText, log);
}

void TstRadarProtocol::sendStatusValues()
{
    const StatusReply r
        = judgeStatusReply(hex("55 AA 01 10 27 00 00 00 00 00 00 1E 55"), RadarCommand::SendStatus);
    QVERIFY(r.accepted());
    QCOMPARE(r.rawDistance, 10000);
    QCOMPARE(r.signalToNoise, 30);
    QCOMPARE(r.code, quint8(1));
    // The most significant byte is the fourth: FF FF FF FF reads as -1.
    const QByteArray negative = hex("55 AA 01 FF FF FF FF 00 00 00 00 00 FC");
    QCOMPARE(judgeStatusReply(negative, RadarCommand::SendStatus).rawDistance, -1);
}

void TstRadarProtocol::wrongChecksumCarriesNoValues()
{
    const StatusReply r
        = judgeStatusReply(hex("55 AA 01 10 27 00 00 00 00 00 00 1E 56"), RadarCommand::SendStatus);
    QCOMPARE(r.outcome, StatusReply::Outcome::WrongChecksum);
    QCOMPARE(r.rawDistance, 0);
    QCOMPARE(r.signalToNoise, 0);
}

void TstRadarProtocol::neverReadsPastTheEnd()
{
    // Every prefix of a reply with noise, and a run of headers: the sanitizer catches a stray read.
    const QByteArray reply = hex("AA 55 55 AA 01 10 27 00 00 00 00 00 00 1E 55 55 AA 01");
    for (qsizetype n = 0; n <= reply.size(); ++n) {
        const QByteArray copy = reply.first(n); // its own allocation, exactly n bytes
        for (RadarCommand c : { RadarCommand::SendStatus, RadarCommand::StandBy })
            judgeStatusReply(copy, c);
    }
}

QTEST_GUILESS_MAIN(TstRadarProtocol)
#include "tst_radar_protocol.moc"

#include "serial/com_port_session.h"
#include "serial/network_byte_link.h"
#include "serial/telnet_decoder.h"
#include "sim/simulated_line.h"
#include "support/pty_pair.h"
#include "support/ser2net_rig.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using velto::serial::ComPortSession;
using velto::serial::NetworkByteLink;
using velto::serial::TelnetCommand;
using velto::serial::TelnetDecoder;
using velto::test::DelayRelay;
using velto::test::Ser2netRig;

namespace {

// Read Holding Registers, slave 1, registers 0 and 1; the simulated sensor answers 01 03 04 ...
const QByteArray kReadRequest = QByteArray::fromHex("010300000002c40b");
constexpr qsizetype kReadAnswerBytes = 9;
constexpr int kHangGuardMs = 20000;

enum class Scenario {
    Exchange, // a request answered by the simulated sensor; the settings' speed as the pty sees it
    Transparent, // every byte value both ways, telnet's own among them
    Refused, // nothing listens on the port
    KilledMidPoll, // the server dies while a request waits
    SilentServer, // accepts and never answers
    SlowServer, // each chunk delayed on the way
};

} // namespace

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(Ser2netRig::Mode)

class TstNetworkByteLink : public QObject {
    Q_OBJECT
private slots:
    void telnetStreamDecoded_data();
    void telnetStreamDecoded();
    void optionsNegotiated_data();
    void optionsNegotiated();
    void overSer2net_data();
    void overSer2net();
};

void TstNetworkByteLink::telnetStreamDecoded_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("commands"); // verb:option:payload-hex, space-separated

    QTest::newRow("plain data") << QList<QByteArray> { "abc" } << QByteArray("abc") << "";
    QTest::newRow("doubled IAC is one data byte")
        << QList<QByteArray> { QByteArray::fromHex("01ffff02") } << QByteArray::fromHex("01ff02") << "";
    QTest::newRow("IAC split from its twin")
        << QList<QByteArray> { QByteArray::fromHex("01ff"), QByteArray::fromHex("ff02") }
        << QByteArray::fromHex("01ff02") << "";
    QTest::newRow("option verb split over three reads") << QList<QByteArray> { QByteArray::fromHex("41ff"),
        QByteArray::fromHex("fd"), QByteArray::fromHex("2c42") }
                                                        << QByteArray("AB") << "253:44:";
    QTest::newRow("subnegotiation with an escaped IAC")
        << QList<QByteArray> { QByteArray::fromHex("fffa2c650000ffff00fff0") } << QByteArray()
        << "250:44:650000ff00";
    QTest::newRow("NOP between data bytes")
        << QList<QByteArray> { QByteArray::fromHex("61fff162") } << QByteArray("ab") << "241:0:";
    QTest::newRow("command inside a subnegotiation ends it")
        << QList<QByteArray> { QByteArray::fromHex("fffa2c6b01fffb0378") } << QByteArray("x") << "251:3:";
    QTest::newRow("over-long subnegotiation is cut") << QList<QByteArray> {
        QByteArray::fromHex("fffa18") + QByteArray(300, 'z') + QByteArray::fromHex("fff0")
    } << QByteArray() << QStringLiteral("250:24:%1+").arg(QString::fromLatin1(QByteArray(256, 'z').toHex()));
}

void TstNetworkByteLink::telnetStreamDecoded()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QByteArray, data);
    QFETCH(QString, commands);
    TelnetDecoder decoder;
    QByteArray gotData;
    QStringList gotCommands;
    for (const QByteArray& read : reads) {
        const TelnetDecoder::Output out = decoder.feed(read);
        gotData += out.data;
        for (const TelnetCommand& c : out.commands)
            gotCommands << QStringLiteral("%1:%2:%3%4")
                               .arg(c.verb)
                               .arg(c.option)
                               .arg(QString::fromLatin1(c.payload.toHex()), c.truncated ? "+" : "");
    }
    QCOMPARE(gotData, data);
    QCOMPARE(gotCommands.join(' '), commands);
    QVERIFY(!decoder.midCommand());
}

void TstNetworkByteLink::optionsNegotiated_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("agreed");
    QTest::addColumn<bool>("refused");

    // 19200,e,7,2 as the client's held commands: baud, data size, parity, stop size, no flow control.
    const QByteArray settings = QByteArray::fromHex("fffa2c0100004b00fff0"
                                                    "fffa2c0207fff0"
                                                    "fffa2c0303fff0"
                                                    "fffa2c0402fff0"
                                                    "fffa2c0501fff0");
    QTest::newRow("COM-port taken: settings follow")
        << QByteArray::fromHex("fffd2c") << settings << true << false;
    QTest::newRow("COM-port refused") << QByteArray::fromHex("fffe2c") << QByteArray() << false << true;
    QTest::newRow("echo refused, binary acknowledged without a word")
        << QByteArray::fromHex("fffb01fffb00fffd00") << QByteArray::fromHex("fffe01") << false << false;
    QTest::newRow("unknown option asked of us is declined")
        << QByteArray::fromHex("fffd18") << QByteArray::fromHex("fffc18") << false << false;
    QTest::newRow("refusals of what we never had are not answered")
        << QByteArray::fromHex("fffe18fffc18") << QByteArray() << false << false;
    QTest::newRow("ser2net's greeting") << QByteArray::fromHex("fffb03fffd03fffb01fffe01fffd00fffb00fffd2c")
                                        << QByteArray::fromHex("fffe01") + settings << true << false;
}

void TstNetworkByteLink::optionsNegotiated()
{
    QFETCH(QByteArray, server);
    QFETCH(QByteArray, reply);
    QFETCH(bool, agreed);
    QFETCH(bool, refused);
    ComPortSession session;
    const QByteArray opening = session.start(*velto::serial::SerialSettings::parse("19200,e,7,2"));
    // WILL BINARY, WILL SGA, WILL COM-PORT, DO BINARY, DO SGA; the settings wait for the server.
    QCOMPARE(opening.toHex(), QByteArray("fffb00fffb03fffb2cfffd00fffd03"));
    const ComPortSession::Received got = session.receive(server);
    QCOMPARE(got.data, QByteArray());
    QCOMPARE(got.reply.toHex(), reply.toHex());
    QCOMPARE(session.comPortAgreed(), agreed);
    QCOMPARE(session.comPortRefused(), refused);
    if (agreed) {
        // Data bytes that look like telnet are escaped; RTS goes straight out now.
        QCOMPARE(ComPortSession::encode(QByteArray::fromHex("00ff01")).toHex(), QByteArray("00ffff01"));
        QCOMPARE(session.setRts(true).toHex(), QByteArray("fffa2c050bfff0"));
    }
}

void TstNetworkByteLink::overSer2net_data()
{
    QTest::addColumn<Ser2netRig::Mode>("mode");
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<int>("charactersPerSecond"); // the pty's speed after the exchange, 0 unchecked
    QTest::addColumn<QString>("lossText"); // part of the text of a lost line; empty when none

    const auto raw = Ser2netRig::Mode::Raw;
    const auto telnet = Ser2netRig::Mode::Rfc2217;
    // ser2net opens the pty at 9600 (960 characters a second); only RFC 2217 changes that.
    QTest::newRow("raw: exchange, pty speed unchanged") << raw << Scenario::Exchange << 960 << "";
    QTest::newRow("rfc2217: exchange, 19200 reaches the pty") << telnet << Scenario::Exchange << 1920 << "";
    QTest::newRow("raw: every byte both ways") << raw << Scenario::Transparent << 0 << "";
    QTest::newRow("rfc2217: every byte both ways") << telnet << Scenario::Transparent << 0 << "";
    QTest::newRow("raw: refused") << raw << Scenario::Refused << 0 << "Connection refused";
    QTest::newRow("rfc2217: refused") << telnet << Scenario::Refused << 0 << "Connection refused";
    QTest::newRow("raw: killed mid-poll") << raw << Scenario::KilledMidPoll << 0 << "lost";
    QTest::newRow("rfc2217: killed mid-poll") << telnet << Scenario::KilledMidPoll << 0 << "lost";
    QTest::newRow("raw: silent server") << raw << Scenario::SilentServer << 0 << "";
    QTest::newRow("rfc2217: silent server") << telnet << Scenario::SilentServer << 0 << "No telnet answer";
    QTest::newRow("raw: slow server") << raw << Scenario::SlowServer << 0 << "";
    QTest::newRow("rfc2217: slow server") << telnet << Scenario::SlowServer << 1920 << "";
}

void TstNetworkByteLink::overSer2net()
{
    QFETCH(Ser2netRig::Mode, mode);
    QFETCH(Scenario, scenario);
    QFETCH(int, charactersPerSecond);
    QFETCH(QString, lossText);
    if (const QString why = Ser2netRig::unavailableReason(); !why.isEmpty())
        QSKIP(qPrintable(why));

    velto::sim::SimulatedLine line;
    velto::test::PtyPair pty;
    QVERIFY(line.isValid() && pty.isValid());
    const QString device = scenario == Scenario::Transparent ? pty.slavePath() : line.devicePath();
    Ser2netRig server;
    QVERIFY2(server.start(device, mode), qPrintable(server.errorText()));
    QTRY_VERIFY_WITH_TIMEOUT(server.listening(), kHangGuardMs);

    constexpr int kRelayDelayMs = 150;
    std::unique_ptr<DelayRelay> relay;
    QString address = server.address();
    const QString scheme = address.section(':', 0, 0);
    if (scenario == Scenario::SilentServer || scenario == Scenario::SlowServer) {
        relay = std::make_unique<DelayRelay>(
            scenario == Scenario::SlowServer ? server.port() : quint16(0), kRelayDelayMs);
        address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(relay->port());
    } else if (scenario == Scenario::Refused) {
        address = QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(velto::test::freeLoopbackPort());
    }

    NetworkByteLink link;
    QSignalSpy errors(&link, &NetworkByteLink::errorOccurred);
    QSignalSpy lost(&link, &NetworkByteLink::lineLost);
    QSignalSpy written(&link, &NetworkByteLink::bytesWritten);
    QVERIFY2(link.open(address, "19200,n,8,1"), qPrintable(link.errorText()));
    QCOMPARE(link.portName(), address);
    QElapsedTimer clock;
    clock.start();

    const QByteArray sent
        = scenario == Scenario::Transparent ? QByteArray::fromHex("00fffffa2c01fff00d0a") : kReadRequest;
    QVERIFY(link.write(sent));
    // Held until the server is reached, and counted meanwhile.
    QCOMPARE(link.bytesToWrite(), sent.size());

    if (scenario == Scenario::KilledMidPoll) {
        QTRY_VERIFY_WITH_TIMEOUT(link.bytesAvailable() >= kReadAnswerBytes, kHangGuardMs);
        link.readAll();
        velto::sim::LineFaults silent;
        silent.silence = 1;
        line.setFaults(silent);
        QVERIFY(link.write(kReadRequest));
        server.kill();
    }

    if (!lossText.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, kHangGuardMs);
        QVERIFY2(lost.at(0).at(0).toString().contains(lossText), qPrintable(lost.at(0).at(0).toString()));
        QCOMPARE(errors.size(), 1);
        QVERIFY(!link.isOpen());
        QVERIFY(!link.write(kReadRequest));
        QTest::qWait(200); // reported once: nothing follows
        QCOMPARE(lost.size(), 1);
        QCOMPARE(errors.size(), 1);
        return;
    }

    if (scenario == Scenario::SilentServer) {
        QSignalSpy readyRead(&link, &NetworkByteLink::readyRead);
        QVERIFY(!readyRead.wait(1000));
        QVERIFY(link.isOpen());
        QCOMPARE(relay->connections(), 1);
        QCOMPARE(lost.size(), 0);
        return;
    }

    if (scenario == Scenario::Transparent) {
        QByteArray atPty;
        QTRY_VERIFY_WITH_TIMEOUT((atPty += pty.readMasterNow()).size() >= sent.size(), kHangGuardMs);
        QCOMPARE(atPty.toHex(), sent.toHex());
        const QByteArray back = QByteArray::fromHex("fffffd2cfffa2c6b00fff0ff41");
        QVERIFY(pty.writeMaster(back));
        QByteArray atLink;
        QTRY_VERIFY_WITH_TIMEOUT((atLink += link.readAll()).size() >= back.size(), kHangGuardMs);
        QCOMPARE(atLink.toHex(), back.toHex());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(link.bytesAvailable() >= kReadAnswerBytes, kHangGuardMs);
        const QByteArray answer = link.readAll();
        QCOMPARE(answer.size(), kReadAnswerBytes);
        QCOMPARE(answer.left(3).toHex(), QByteArray("010304"));
        if (scenario == Scenario::SlowServer)
            QVERIFY(clock.elapsed() >= 2 * kRelayDelayMs);
    }
    QCOMPARE(link.bytesToWrite(), 0);
    qint64 total = 0;
    for (const QList<QVariant>& signal : written)
        total += signal.at(0).toLongLong();
    QCOMPARE(total, sent.size());
    if (charactersPerSecond > 0)
        QTRY_COMPARE_WITH_TIMEOUT(line.charactersPerSecond(), charactersPerSecond, kHangGuardMs);
    QCOMPARE(errors.size(), 0);
    link.close();
    QVERIFY(!link.isOpen());
}

QTEST_GUILESS_MAIN(TstNetworkByteLink)
#include "tst_network_byte_link.moc"

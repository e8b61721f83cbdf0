// Remove echo on the tapped link: our own frames coming back first are skipped and reported as echo;
// nothing a device sent is ever lost to them.
#include "serial/tapped_byte_link.h"
#include "support/fake_byte_link.h"

#include <QSignalSpy>
#include <QTest>

using velto::serial::TappedByteLink;
using velto::test::FakeByteLink;

class TstEchoRemoval : public QObject {
    Q_OBJECT
private slots:
    void ourFramesSkipped_data();
    void ourFramesSkipped();
};

void TstEchoRemoval::ourFramesSkipped_data()
{
    QTest::addColumn<bool>("removeEcho");
    QTest::addColumn<QByteArray>("before"); // on the line before anything is sent
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<QByteArrayList>("chunks"); // as they arrive after the sends
    QTest::addColumn<QByteArray>("read"); // what the protocol above reads
    QTest::addColumn<QByteArray>("echo"); // what the link skipped

    const QByteArray request = QByteArray::fromHex("01030000000ac5cd");
    const QByteArray answer = QByteArray::fromHex("0103020064b9af");
    QTest::newRow("echo and answer in one chunk")
        << true << QByteArray() << QByteArrayList { "!01\r" } << QByteArrayList { "!01\rR123\r" }
        << QByteArray("R123\r") << QByteArray("!01\r");
    QTest::newRow("echo split in odd chunks") << true << QByteArray() << QByteArrayList { request }
                                              << QByteArrayList { request.first(3), request.sliced(3, 4),
                                                     request.sliced(7) + answer.first(1), answer.sliced(1) }
                                              << answer << request;
    QTest::newRow("an answer that begins like the request is not eaten")
        << true << QByteArray() << QByteArrayList { request }
        << QByteArrayList { answer.first(2), answer.sliced(2) } << answer << QByteArray();
    QTest::newRow("a garbled echo is handed on whole")
        << true << QByteArray() << QByteArrayList { "ABCD" } << QByteArrayList { "ABXD" }
        << QByteArray("ABXD") << QByteArray();
    QTest::newRow("two frames echoed back to back")
        << true << QByteArray() << QByteArrayList { "!01\r", "!02\r" }
        << QByteArrayList { "!01\r!0", "2\rR1\r" } << QByteArray("R1\r") << QByteArray("!01\r!02\r");
    QTest::newRow("bytes before the send are no echo of it")
        << true << QByteArray("!01\r") << QByteArrayList { "!01\r" } << QByteArrayList { "!01\rR2\r" }
        << QByteArray("!01\rR2\r") << QByteArray("!01\r");
    QTest::newRow("Remove echo off: the echo is read like any byte")
        << false << QByteArray() << QByteArrayList { "!01\r" } << QByteArrayList { "!01\rR123\r" }
        << QByteArray("!01\rR123\r") << QByteArray();
}

void TstEchoRemoval::ourFramesSkipped()
{
    QFETCH(bool, removeEcho);
    QFETCH(QByteArray, before);
    QFETCH(QByteArrayList, sent);
    QFETCH(QByteArrayList, chunks);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, echo);

    FakeByteLink port;
    TappedByteLink link(port);
    QVERIFY(link.setRemoveEcho(removeEcho));
    QCOMPARE(link.removesEcho(), removeEcho);
    QVERIFY(link.open(QStringLiteral("/dev/ttyFAKE0"), QStringLiteral("9600,n,8,1")));
    QByteArray gotRead;
    QByteArray gotEcho;
    QByteArray tapped;
    connect(&link, &TappedByteLink::readyRead, this, [&] { gotRead += link.readAll(); });
    connect(&link, &TappedByteLink::echoSkipped, this, [&](const QByteArray& bytes) { gotEcho += bytes; });
    connect(&link, &TappedByteLink::received, this, [&](const QByteArray& bytes) { tapped += bytes; });

    // Arrived, not yet read by anyone, when the first frame goes out.
    port.incoming = before;
    for (const QByteArray& frame : sent)
        QVERIFY(link.write(frame));
    for (const QByteArray& chunk : chunks)
        port.receive(chunk);
    QTRY_COMPARE(gotRead, read);
    QCOMPARE(gotEcho, echo);
    // The monitor sees every byte once: as received or as echo.
    QCOMPARE(tapped, read);
    QCOMPARE(port.written, sent);
}

QTEST_GUILESS_MAIN(TstEchoRemoval)
#include "tst_echo_removal.moc"

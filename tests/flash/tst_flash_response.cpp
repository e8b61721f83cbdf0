#include "flash/flash_response.h"

#include <QTest>

using namespace velto::flash;

Q_DECLARE_METATYPE(velto::flash::FlashRequest)

class TestFlashResponse : public QObject {
    Q_OBJECT

private slots:
    void everyRowOfTheTable_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<FlashRequest>("request");
        QTest::addColumn<QString>("status"); // "-" leaves the status unchanged
        QTest::addColumn<QString>("mark");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("pauseFirst");
        const auto line = FlashRequest::Line;
        const auto command = FlashRequest::Command;
        const QString transferring = QStringLiteral("File Transfering... Please Wait");
        QTest::newRow(":A0") << QByteArray(":\xA0") << line << "Incorrect Start Code"
                             << ":A0" << false << false;
        QTest::newRow(":A1") << QByteArray(":\xA1") << line << "Incorrect Data Lenght"
                             << ":A1" << false << false;
        QTest::newRow(":A2") << QByteArray(":\xA2") << line << "Incorrect Checksum"
                             << ":A2" << false << false;
        QTest::newRow(":A3") << QByteArray(":\xA3") << line << transferring << ":A3" << true << false;
        QTest::newRow(":A4") << QByteArray(":\xA4") << line << transferring << ":A4" << true << true;
        QTest::newRow(":A5") << QByteArray(":\xA5") << line << "End of File"
                             << ":A5" << true << false;
        QTest::newRow(":A6") << QByteArray(":\xA6") << line << "End of Program"
                             << ":A6" << false << false;
        QTest::newRow(": other") << QByteArray(":\x41") << line << "Accidental Response"
                                 << ":UNKNOWN" << false << false;
        QTest::newRow(": zero") << QByteArray(":\0", 2) << line << "Accidental Response"
                                << ":UNKNOWN" << false << false;
        QTest::newRow("<B7") << QByteArray("<\xB7") << command << "Flash Start Burn"
                             << "<B7" << true << false;
        QTest::newRow("<B2") << QByteArray("<\xB2") << command << "Flash Test Succeeded"
                             << "<B2" << true << false;
        QTest::newRow("<B3") << QByteArray("<\xB3") << command << "Flash Test Failed"
                             << "<B3" << true << false;
        QTest::newRow("<B5") << QByteArray("<\xB5") << command << "Flash Erase Succeeded"
                             << "<B5" << true << false;
        QTest::newRow("<B6") << QByteArray("<\xB6") << command << "Flash Erase Failed"
                             << "<B6" << true << false;
        QTest::newRow("< other is its character") << QByteArray("<K") << command << "-"
                                                  << "K" << true << false;
        QTest::newRow("other start") << QByteArray("?\xA3") << line << "-"
                                     << "" << false << false;
        QTest::newRow("only the first two count")
            << QByteArray(":\xA3\xA2garbage") << line << transferring << ":A3" << true << false;
        // An answer the table accepts but that belongs to the other kind of request.
        QTest::newRow("line answer to a command") << QByteArray(":\xA3") << command << "Accidental Response"
                                                  << ":A3" << false << false;
        QTest::newRow("slow write to a command") << QByteArray(":\xA4") << command << "Accidental Response"
                                                 << ":A4" << false << false;
        QTest::newRow("command answer to a line") << QByteArray("<\xB7") << line << "Accidental Response"
                                                  << "<B7" << false << false;
        QTest::newRow("rejection to a command keeps its text")
            << QByteArray(":\xA0") << command << "Incorrect Start Code"
            << ":A0" << false << false;
    }
    void everyRowOfTheTable()
    {
        QFETCH(QByteArray, answer);
        QFETCH(FlashRequest, request);
        QFETCH(QString, status);
        QFETCH(QString, mark);
        QFETCH(bool, accepted);
        QFETCH(bool, pauseFirst);
        const FlashResponse r = judgeFlashResponse(answer, request);
        QCOMPARE(r.statusText.value_or(QStringLiteral("-")), status);
        QCOMPARE(r.mark, mark);
        QCOMPARE(r.accepted, accepted);
        QCOMPARE(r.pauseFirst, pauseFirst);
    }

    void shortAnswersAreNotAccepted()
    {
        for (const QByteArray& bytes : { QByteArray(), QByteArray(":"), QByteArray("<") }) {
            const FlashResponse r = judgeFlashResponse(bytes, FlashRequest::Command);
            QCOMPARE(r.kind, FlashResponse::Kind::TooShort);
            QVERIFY(!r.accepted);
            QVERIFY(!r.statusText);
            QVERIFY(r.mark.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(TestFlashResponse)
#include "tst_flash_response.moc"

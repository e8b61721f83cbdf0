#include "modbus/debounced_text_check.h"
#include "modbus/timeout_rule.h"
#include "support/fake_prompter.h"

#include <QSignalSpy>
#include <QTest>

using namespace velto::modbus;

class TestTimeoutRule : public QObject {
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void debounceKeepsOnlyTheLastText();
};

void TestTimeoutRule::check_data()
{
    QTest::addColumn<bool>("transmit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("replacement"); // empty: accepted as typed

    QTest::newRow("receive 0") << false << "0" << 1000 << "1000";
    QTest::newRow("receive 30001") << false << "30001" << 1000 << "1000";
    QTest::newRow("receive lowest") << false << "1" << 1 << "";
    QTest::newRow("receive highest") << false << "30000" << 30000 << "";
    QTest::newRow("transmit 0") << true << "0" << 300 << "300";
    QTest::newRow("transmit 30001") << true << "30001" << 300 << "300";
    QTest::newRow("transmit 500") << true << "500" << 500 << "";
    QTest::newRow("transmit negative") << true << "-5" << 300 << "300";
    QTest::newRow("empty box") << true << "" << 300 << "300";
    QTest::newRow("letters") << false << "12a" << 1000 << "1000";
    QTest::newRow("fraction") << false << "5.5" << 1000 << "1000";
    QTest::newRow("blanks around") << false << " 250 " << 250 << "";
    QTest::newRow("beyond int") << true << "99999999999" << 300 << "300";
}

void TestTimeoutRule::check()
{
    QFETCH(bool, transmit);
    QFETCH(QString, text);
    QFETCH(int, ms);
    QFETCH(QString, replacement);
    const velto::RangeRule& rule = transmit ? kTransmitTimeoutRule : kReceiveTimeoutRule;
    velto::test::FakePrompter prompter;

    const velto::RangeDecision decision = velto::checkRangeText(text, rule, prompter);
    QCOMPARE(decision.value, ms);
    if (replacement.isEmpty()) {
        QVERIFY(!decision.replacementText);
        QVERIFY(prompter.messages.isEmpty());
        return;
    }
    QCOMPARE(decision.replacementText, std::optional<QString>(replacement));
    const QString expected = transmit
        ? QStringLiteral(
            "Wrong value. Enter a valid Xmt Timeout value, between 1 msec to 30000 msec (default "
            "value 300 msec)")
        : QStringLiteral("Wrong value. Enter a valid Receive Timeout value, between 1 msec to 30000 msec "
                         "(default value 1000 msec)");
    QCOMPARE(prompter.texts(), QStringList { expected });
}

void TestTimeoutRule::debounceKeepsOnlyTheLastText()
{
    constexpr int kShortDelayMs = 50;
    DebouncedTextCheck check(nullptr, kShortDelayMs);
    QSignalSpy settled(&check, &DebouncedTextCheck::settled);
    check.textChanged("5");
    check.textChanged("50");
    check.textChanged("500");
    QVERIFY(check.pending());
    QVERIFY(settled.wait());
    QCOMPARE(settled.size(), 1);
    QCOMPARE(settled.first().first().toString(), QStringLiteral("500"));
    QVERIFY(!check.pending());

    check.textChanged("7");
    check.cancel();
    QVERIFY(!settled.wait(4 * kShortDelayMs));
    QCOMPARE(settled.size(), 1);
}

QTEST_GUILESS_MAIN(TestTimeoutRule)
#include "tst_timeout_rule.moc"

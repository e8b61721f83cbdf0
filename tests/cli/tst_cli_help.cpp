#include "cli_process.h"

#include <QRegularExpression>

using velto::test::CliRun;
using velto::test::runCli;

// The installed man page is generated from these texts: every command the overview lists must answer
// its own --help, and the overview must carry the exit codes.
class TestCliHelp : public QObject {
    Q_OBJECT

    static QStringList listedCommands(const QStringList& helpLines)
    {
        QStringList commands;
        const qsizetype start = helpLines.indexOf(QStringLiteral("Commands:"));
        static const QRegularExpression entry(QStringLiteral("^  (\\S+(?: \\S+)?)  +\\S"));
        for (qsizetype i = start + 1; start >= 0 && i < helpLines.size(); ++i) {
            const QRegularExpressionMatch match = entry.match(helpLines[i]);
            if (!match.hasMatch())
                break;
            commands.append(match.captured(1));
        }
        return commands;
    }

private slots:
    void overviewListsCommandsAndExitCodes()
    {
        const CliRun run = runCli({ "--help" });
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.lines.value(0).startsWith("Usage: velto-cli <command>"));
        const QStringList commands = listedCommands(run.lines);
        for (const char* command : { "sim", "modbus read", "modbus poll", "modbus write", "velto poll" })
            QVERIFY2(commands.contains(command), qPrintable(commands.join(',')));
        const qsizetype exitStatus = run.lines.indexOf("Exit status:");
        QVERIFY(exitStatus > 0);
        for (int code = 0; code <= 2; ++code)
            QVERIFY(run.lines.value(exitStatus + 1 + code).startsWith(QStringLiteral("  %1  ").arg(code)));
    }

    void everyListedCommandAnswersHelp()
    {
        const QStringList commands = listedCommands(runCli({ "--help" }).lines);
        QVERIFY(!commands.isEmpty());
        for (const QString& command : commands) {
            const CliRun run = runCli(command.split(' ') + QStringList { "--help" });
            QVERIFY(run.finished);
            QVERIFY2(run.exitCode == 0, qPrintable(command + ": " + run.errors));
            QCOMPARE(run.lines.value(0), "Usage: velto-cli " + command + " [options]");
            // A description before the options, for the man page's paragraph.
            QVERIFY2(run.lines.value(1) != "Options:", qPrintable(command));
            QVERIFY(run.lines.contains("Options:"));
        }
    }

    void groupsListTheirCommands_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("radar") << "radar" << QStringList { "radar send", "radar measure" };
        QTest::newRow("flash") << "flash" << QStringList { "flash burn", "flash erase", "flash test" };
        QTest::newRow("debug") << "debug" << QStringList { "debug capture", "debug parse" };
        QTest::newRow("modbus") << "modbus" << QStringList { "modbus read", "modbus poll", "modbus write" };
        QTest::newRow("velto") << "velto" << QStringList { "velto poll" };
    }
    void groupsListTheirCommands()
    {
        QFETCH(QString, group);
        QFETCH(QStringList, commands);
        const CliRun help = runCli({ group, "--help" });
        QVERIFY(help.finished);
        QCOMPARE(help.exitCode, 0);
        QCOMPARE(listedCommands(help.lines), commands);
        // Alone, or with a command it does not have, the group says what it has and fails.
        for (const QStringList& wrong : { QStringList { group }, QStringList { group, "jump" } }) {
            const CliRun run = runCli(wrong);
            QCOMPARE(run.exitCode, velto::test::kCliExitUsage);
            QVERIFY2(run.errors.contains(commands.first()), qPrintable(run.errors));
        }
    }

    void versionAndUnknownCommand()
    {
        const CliRun version = runCli({ "--version" });
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.lines, QStringList { QStringLiteral("velto-cli " VELTO_CLI_VERSION) });
        const CliRun unknown = runCli({ "frobnicate" });
        QCOMPARE(unknown.exitCode, velto::test::kCliExitUsage);
        QVERIFY(unknown.errors.contains("unknown command 'frobnicate'"));
    }
};

QTEST_GUILESS_MAIN(TestCliHelp)
#include "tst_cli_help.moc"

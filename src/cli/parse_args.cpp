#include "cli/commands.h"
#include "cli/trace.h"

#include <cstdio>

namespace velto::cli {

QString commandHelp(const QCommandLineParser& parser, const QString& command)
{
    // Qt names the executable path in its usage line; ours names the subcommand.
    QString text = parser.helpText();
    const qsizetype firstLineEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, firstLineEnd, QStringLiteral("Usage: velto-cli %1 [options]").arg(command));
    return text;
}

int usageError(const QCommandLineParser& parser, const QString& command, const QString& error)
{
    std::fprintf(stderr, "velto-cli: %s\n\n%s", qPrintable(error), qPrintable(commandHelp(parser, command)));
    return kExitUsage;
}

int parseOrExit(
    QCommandLineParser& parser, const QStringList& args, const QString& commandName, qsizetype maxPositional)
{
    const QCommandLineOption help(
        QStringList { QStringLiteral("h"), QStringLiteral("help") }, QStringLiteral("Show this help."));
    parser.addOption(help);
    const QCommandLineOption trace = traceOption();
    parser.addOption(trace);
    const QString command = commandName.isEmpty() ? args.value(0) : commandName;
    if (!parser.parse(args))
        return usageError(parser, command, parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(commandHelp(parser, command)), stdout);
        return kExitOk;
    }
    // A stray word is most likely a mistyped option.
    if (parser.positionalArguments().size() > maxPositional)
        return usageError(parser, command,
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().at(maxPositional)));
    if (parser.isSet(trace))
        startTrace();
    return -1;
}

} // namespace velto::cli

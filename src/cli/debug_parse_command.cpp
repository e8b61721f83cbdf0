#include "cli/cli_options.h"
#include "cli/commands.h"
#include "cli/signal_watcher.h"
#include "common/data_folder.h"
#include "debuglog/parsing_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

namespace velto::cli {

int runDebugParse(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Turns a captured debug log into TaliqAllDebug.xlsx (every record) and Taliq4_20Debug.xlsx (records "
        "whose C value is 1), replacing earlier ones. Prints Lines=N AllRows=N CurrentRows=N and the two "
        "paths, then Message=text as the parsing window shows it; on a failure Message=text and the "
        "reason on stderr. A last line without a line end (a capture cut short) is left out and named. "
        "Only a regular file is read; an interrupt ends the run and saves nothing."));
    parser.addPositionalArgument(QStringLiteral("LOG"), QStringLiteral("The captured debug log."));
    const QCommandLineOption outDir(QStringLiteral("out-dir"),
        QStringLiteral("Folder for the workbooks (\"Rendo Monitor\" in the home folder), made when missing."),
        QStringLiteral("DIR"));
    parser.addOption(outDir);
    if (const int exit = parseOrExit(parser, args, {}, 1); exit >= 0)
        return exit;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(parser, args.value(0), QStringLiteral("the log file is required"));

    QString folder;
    if (parser.isSet(outDir)) {
        folder = parser.value(outDir);
        // An empty folder would put the workbooks wherever the command was started from.
        if (folder.trimmed().isEmpty())
            return usageError(parser, args.value(0), QStringLiteral("--out-dir wants a folder"));
        QDir().mkpath(folder);
    } else {
        folder = ensureDataFolder();
        if (folder.isEmpty()) {
            printLine(namedText(QStringLiteral("Message"),
                debuglog::parsingStageMessage(debuglog::ParsingStage::FirstWorkbook)));
            printError(QStringLiteral("cannot make the folder %1").arg(dataFolderPath()));
            return kExitFailure;
        }
    }
    const auto paths = debuglog::ParsingPaths::inFolder(positional.front(), folder);

    debuglog::ParsingRun run;
    SignalWatcher watcher;
    QObject::connect(&watcher, &SignalWatcher::terminationRequested, &run, &debuglog::ParsingRun::cancel);
    QObject::connect(
        &run, &debuglog::ParsingRun::finished, &run, [&paths](const debuglog::ParsingOutcome& outcome) {
            switch (outcome.result) {
            case debuglog::ParsingOutcome::Result::Saved:
                printLine(QStringLiteral("Lines=%1 AllRows=%2 CurrentRows=%3 %4 %5")
                              .arg(outcome.lines)
                              .arg(outcome.allRows)
                              .arg(outcome.currentRows)
                              .arg(namedText(QStringLiteral("AllWorkbook"), paths.allWorkbook),
                                  namedText(QStringLiteral("CurrentWorkbook"), paths.currentWorkbook)));
                printLine(
                    namedText(QStringLiteral("Message"), debuglog::parsingSavedMessage(outcome, paths)));
                QCoreApplication::exit(kExitOk);
                return;
            case debuglog::ParsingOutcome::Result::Failed:
                printLine(namedText(QStringLiteral("Message"), outcome.message));
                printError(outcome.detail);
                if (const QString note = debuglog::unfinishedLineNote(outcome); !note.isEmpty())
                    printError(note);
                break;
            case debuglog::ParsingOutcome::Result::Cancelled:
                printError(QStringLiteral("interrupted; no workbook was saved"));
                break;
            }
            QCoreApplication::exit(kExitFailure);
        });
    QTimer::singleShot(0, &run, [&run, &paths] { run.start(paths); });
    return QCoreApplication::exec();
}

} // namespace velto::cli

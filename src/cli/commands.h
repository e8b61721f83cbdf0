#pragma once

#include <QCommandLineParser>
#include <QStringList>

namespace velto::cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Each subcommand gets its arguments with its own name first (as a parser expects argv[0]; "modbus
// read" for a two-word one) and returns the process exit code. One .cpp per subcommand.
int runSim(const QStringList& args);
int runModbusWrite(const QStringList& args);
int runModbusRead(const QStringList& args);
int runModbusPoll(const QStringList& args);
int runVeltoPoll(const QStringList& args);
int runDebugCapture(const QStringList& args);
int runDebugParse(const QStringList& args);
int runCalibrate(const QStringList& args);
int runCalibrateParam(const QStringList& args);
int runCalibrateCurrent(const QStringList& args);
int runCalibrateRelay(const QStringList& args);
int runCalibrateDefaults(const QStringList& args);
int runRadarSend(const QStringList& args);
int runRadarMeasure(const QStringList& args);
int runFlashBurn(const QStringList& args);
int runFlashErase(const QStringList& args);
int runFlashTest(const QStringList& args);

// Parses args (the subcommand's name first). On --help prints the help and returns kExitOk; on bad
// arguments (or more than maxPositional bare ones) prints the error and usage to stderr and returns
// kExitUsage; otherwise returns -1.
int parseOrExit(QCommandLineParser& parser, const QStringList& args, const QString& commandName = {},
    qsizetype maxPositional = 0);
// Prints the error and the subcommand's usage on stderr; returns kExitUsage.
int usageError(const QCommandLineParser& parser, const QString& command, const QString& error);
// The parser's help with a usage line naming the tool and the subcommand.
QString commandHelp(const QCommandLineParser& parser, const QString& command);

} // namespace velto::cli

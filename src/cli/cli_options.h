#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <optional>

namespace velto::cli {

constexpr int kDefaultBaud = 9600;

// An integer option with its accepted range and the value it has when not given.
struct IntOption {
    QCommandLineOption option;
    int min;
    int max;
    int fallback;
};

// The option's value, or the fallback when it is not set; empty (and error set) when the text is
// not a whole number inside [min, max]. Numbers are decimal or 0x-hexadecimal, never octal.
std::optional<int> intValue(const QCommandLineParser& parser, const IntOption& spec, QString& error);

// --port's device path; empty (and error set) when it is missing or empty.
std::optional<QString> portValue(
    const QCommandLineParser& parser, const QCommandLineOption& port, QString& error);

// --port P, --baud B and, for Modbus, --slave ID (1-247; 0 is broadcast, which no slave answers) and
// --rx-timeout MS: the options every command that talks to a line shares.
QCommandLineOption portOption();
IntOption baudOption();
IntOption slaveOption();
IntOption rxTimeoutOption();

// "9600,n,8,1" for the serial line the commands use.
QString lineSettings(int baud);

// "Name=text", quoted as the panel lines quote their texts.
QString namedText(const QString& name, const QString& text);

// One line on stdout, flushed so a reader sees each line as it happens.
void printLine(const QString& line);
void printError(const QString& text);

} // namespace velto::cli

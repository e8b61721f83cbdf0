#pragma once

#include "cli/cli_options.h"
#include "traffic/traffic_row.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <memory>
#include <optional>

namespace velto::serial {
class ByteLink;
class TappedByteLink;
} // namespace velto::serial

namespace velto::cli {

// Where and how a command talks: --port, --baud and --remove-echo; and --record, where its traffic
// is written as a session file (empty: nowhere).
struct LineChoice {
    QString port;
    int baud = kDefaultBaud;
    bool removeEcho = false;
    QString recordPath;

    // "9600,n,8,1"
    QString settings() const;
};

// The options of every command that opens a line, read in one place.
class LineOptions {
public:
    // The modbus commands also take mbtcp://, which carries nothing else.
    explicit LineOptions(bool modbusTcp = false);
    void addTo(QCommandLineParser& parser) const;
    bool portGiven(const QCommandLineParser& parser) const;
    // The choice; empty with `error` set when a value is refused, a missing or empty --port included.
    std::optional<LineChoice> read(const QCommandLineParser& parser, QString& error) const;

private:
    QCommandLineOption m_port;
    IntOption m_baud;
    QCommandLineOption m_removeEcho;
    QCommandLineOption m_record;
    bool m_modbusTcp;
};

// The line of one command: the port under the traffic tap, which removes echo when asked, which
// --trace prints as rows and --record writes to its session file. Made before the protocol objects
// that talk through link(), so it outlives them.
class CommandLine {
public:
    // `only` names the protocol of a line that carries just one (the debug output); `traceRows` is
    // false for a command that prints its traffic its own way.
    explicit CommandLine(
        LineChoice choice, traffic::Protocol only = traffic::Protocol::Unknown, bool traceRows = true);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    serial::TappedByteLink& link() { return *m_link; }
    const LineChoice& choice() const { return m_choice; }
    // Opens the port as chosen; on failure (the session file too) prints why and returns false.
    bool open();

private:
    LineChoice m_choice;
    bool m_recordFailed = false;
    std::unique_ptr<serial::ByteLink> m_port;
    std::unique_ptr<serial::TappedByteLink> m_link;
};

} // namespace velto::cli

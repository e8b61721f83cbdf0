#pragma once

#include "common/clock.h"
#include "traffic/line_framer.h"
#include "traffic/session_header.h"
#include "traffic/traffic_row.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>
#include <vector>

namespace velto::serial {
class TappedByteLink;
}

namespace velto::modbus {
class ModbusMaster;
}

namespace velto::traffic {

// Gathers the traffic of every line the program talks on into time-stamped rows, for the traffic
// monitor and --trace: every byte through the taps of the links, the Modbus master's failed
// requests from its results. Rows are made only while recording.
class TrafficRecorder : public QObject {
    Q_OBJECT
public:
    // Incoming bytes that have not made a whole frame after this long quiet become a row as they are.
    static constexpr int kQuietMs = 30;

    // The clock must outlive the recorder.
    explicit TrafficRecorder(const Clock& clock, QObject* parent = nullptr);
    ~TrafficRecorder() override;

    // A line that carries only one protocol (the debug terminal's) names it. The link may go away
    // first; it is then no longer watched.
    void watchLine(serial::TappedByteLink& link, Protocol only = Protocol::Unknown);
    // Its bytes come through the tap of its line, watched as any other; its results end each
    // exchange (what comes later is stray) and make a row of every failure.
    void watchModbus(modbus::ModbusMaster& master);

    void setRecording(bool on);
    bool isRecording() const { return m_recording; }

    // "Since connect" counts from now, with a row saying so.
    void markConnected(const QString& what);

    // The line the rows come from, for the header of a session file; whoever opens it says so.
    void setLine(const QString& port, const QString& settings);
    // The header of a session file of these rows: this program, the line, the first row's time.
    SessionHeader sessionHeader(const QList<TrafficRow>& rows) const;

    // Stamps a row with its times and hands it on, while recording.
    void record(TrafficRow row);

    // The incoming bytes of every line that wait for more become rows now, as the line going quiet
    // would make them (for a Save or a test that cannot wait for the quiet).
    void flushQuietLines();

signals:
    void rowRecorded(const velto::traffic::TrafficRow& row);

private:
    struct Line {
        QPointer<serial::TappedByteLink> link;
        LineFramer framer;
        QTimer quiet;
    };

    void recordAll(const QList<TrafficRow>& rows);

    const Clock& m_clock;
    bool m_recording = false;
    qint64 m_connectedAtMs = 0;
    qint64 m_lastRowMs = -1;
    // Wall-clock time of monotonic time 0, so a row's wall-clock time costs no time-zone lookup.
    qint64 m_wallAtZeroMs = 0;
    std::vector<std::unique_ptr<Line>> m_lines;
    QString m_port;
    QString m_settings;
};

} // namespace velto::traffic

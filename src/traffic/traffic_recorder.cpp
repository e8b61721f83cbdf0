#include "traffic/traffic_recorder.h"

#include "modbus/modbus_master.h"
#include "serial/tapped_byte_link.h"

namespace velto::traffic {

namespace {

TrafficRow eventRow(Protocol protocol, const QString& text, bool failure)
{
    TrafficRow row;
    row.direction = Direction::Event;
    row.protocol = protocol;
    row.summary = text;
    row.failure = failure;
    return row;
}

} // namespace

TrafficRecorder::TrafficRecorder(const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
{
    qRegisterMetaType<TrafficRow>();
    m_connectedAtMs = m_clock.monotonicMs();
    m_wallAtZeroMs = m_clock.now().toMSecsSinceEpoch() - m_connectedAtMs;
}

TrafficRecorder::~TrafficRecorder() = default;

void TrafficRecorder::watchLine(serial::TappedByteLink& link, Protocol only)
{
    auto line = std::make_unique<Line>();
    Line* l = line.get();
    l->link = &link;
    l->framer = LineFramer(only);
    l->quiet.setSingleShot(true);
    l->quiet.setInterval(kQuietMs);
    connect(&l->quiet, &QTimer::timeout, this, [this, l] { recordAll(l->framer.lineQuiet()); });
    connect(&link, &serial::TappedByteLink::sent, this, [this, l](const QByteArray& bytes) {
        if (!m_recording)
            return;
        l->quiet.stop();
        recordAll(l->framer.sent(bytes));
    });
    connect(&link, &serial::TappedByteLink::received, this, [this, l](const QByteArray& bytes) {
        if (!m_recording)
            return;
        recordAll(l->framer.received(bytes));
        if (l->framer.hasPending())
            l->quiet.start();
    });
    connect(&link, &serial::TappedByteLink::echoSkipped, this, [this, l](const QByteArray& bytes) {
        if (m_recording)
            recordAll(l->framer.echoed(bytes));
    });
    connect(&link, &serial::TappedByteLink::sendFailed, this,
        [this, only](const QByteArray& bytes, const QString& reason) {
            if (!m_recording)
                return;
            LabelContext scratch; // the bytes never went out: nothing to remember of them
            const Protocol protocol = only != Protocol::Unknown ? only : labelSent(bytes, scratch).protocol;
            TrafficRow row = eventRow(protocol, QStringLiteral("Not sent: %1").arg(reason), true);
            row.bytes = bytes;
            recordAll({ row });
        });
    connect(
        &link, &serial::TappedByteLink::lineEvent, this, [this, l, only](const QString& text, bool failure) {
            if (!m_recording)
                return;
            // Whatever waited belongs to the line as it was.
            QList<TrafficRow> rows = l->framer.lineQuiet();
            l->framer.reset();
            rows.append(eventRow(only != Protocol::Unknown ? only : Protocol::State, text, failure));
            recordAll(rows);
        });
    connect(&link, &QObject::destroyed, this, [this, l] {
        std::erase_if(m_lines, [l](const std::unique_ptr<Line>& candidate) { return candidate.get() == l; });
    });
    m_lines.push_back(std::move(line));
}

void TrafficRecorder::watchModbus(modbus::ModbusMaster& master)
{
    connect(
        &master, &modbus::ModbusMaster::requestFinished, this, [this](const modbus::ModbusResult& result) {
            if (!m_recording)
                return;
            for (const auto& line : m_lines)
                recordAll(line->framer.exchangeEnded());
            // Refused before anything was sent: not line traffic.
            if (result.status == modbus::StatusOk || result.status == modbus::StatusBusy
                || result.status == modbus::StatusNotOpen)
                return;
            record(eventRow(Protocol::ModbusRtu, result.errorText, true));
        });
}

void TrafficRecorder::setRecording(bool on)
{
    if (on == m_recording)
        return;
    if (!on) {
        flushQuietLines();
        record(eventRow(Protocol::State, QStringLiteral("Recording stopped"), false));
        m_recording = false;
        return;
    }
    m_recording = true;
    for (const auto& line : m_lines)
        line->framer.reset();
    record(eventRow(Protocol::State, QStringLiteral("Recording started"), false));
}

void TrafficRecorder::markConnected(const QString& what)
{
    m_connectedAtMs = m_clock.monotonicMs();
    record(eventRow(Protocol::State, what, false));
}

void TrafficRecorder::setLine(const QString& port, const QString& settings)
{
    m_port = port;
    m_settings = settings;
}

SessionHeader TrafficRecorder::sessionHeader(const QList<TrafficRow>& rows) const
{
    const QDateTime began
        = rows.isEmpty() ? m_clock.now() : QDateTime::fromMSecsSinceEpoch(rows.first().wallClockMs);
    return SessionHeader::thisProgram(m_port, m_settings, began);
}

void TrafficRecorder::record(TrafficRow row)
{
    if (!m_recording)
        return;
    const qint64 now = m_clock.monotonicMs();
    row.wallClockMs = m_wallAtZeroMs + now;
    row.sinceConnectMs = now - m_connectedAtMs;
    row.gapMs = m_lastRowMs < 0 ? 0 : now - m_lastRowMs;
    m_lastRowMs = now;
    emit rowRecorded(row);
}

void TrafficRecorder::flushQuietLines()
{
    for (const auto& line : m_lines) {
        line->quiet.stop();
        recordAll(line->framer.lineQuiet());
    }
}

void TrafficRecorder::recordAll(const QList<TrafficRow>& rows)
{
    for (const TrafficRow& row : rows)
        record(row);
}

} // namespace velto::traffic

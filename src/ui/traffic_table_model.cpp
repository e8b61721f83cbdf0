#include "ui/traffic_table_model.h"

#include "traffic/row_format.h"

#include <QBrush>
#include <QColor>

namespace velto::ui {

using traffic::TrafficRow;

namespace {
const QColor kFailureText(0xB0, 0x00, 0x00);
const QColor kTxText(0x00, 0x30, 0x90);

QByteArray shownBytes(const QByteArray& bytes)
{
    return bytes.first(std::min(bytes.size(), TrafficTableModel::kShownBytes));
}

QString withMoreMark(QString text, const QByteArray& bytes)
{
    if (bytes.size() > TrafficTableModel::kShownBytes)
        text += QLatin1Char(' ') + TrafficTableModel::kMoreMark;
    return text;
}

} // namespace

TrafficTableModel::TrafficTableModel(qsizetype capacity, QObject* parent)
    : QAbstractTableModel(parent)
    , m_ring(capacity)
{
}

void TrafficTableModel::append(const TrafficRow& row)
{
    m_waiting.push_back(row);
    if (qsizetype(m_waiting.size()) > m_ring.capacity()) {
        m_waiting.pop_front();
        ++m_waitingDropped;
    }
}

void TrafficTableModel::flush()
{
    if (m_waiting.empty())
        return;
    const auto incoming = qsizetype(m_waiting.size());
    if (incoming >= m_ring.capacity()) {
        // The batch alone fills the ring: everything shown goes.
        beginResetModel();
        m_ring.dropOldest(m_ring.size());
        for (TrafficRow& row : m_waiting)
            m_ring.append(std::move(row));
        m_waiting.clear();
        endResetModel();
        return;
    }
    const qsizetype drops = m_ring.dropsFor(incoming);
    if (drops > 0) {
        // One removal of the oldest at the top, then one insertion at the bottom.
        beginRemoveRows({}, 0, int(drops - 1));
        m_ring.dropOldest(drops);
        endRemoveRows();
    }
    const int first = int(m_ring.size());
    beginInsertRows({}, first, first + int(incoming) - 1);
    for (TrafficRow& row : m_waiting)
        m_ring.append(std::move(row));
    m_waiting.clear();
    endInsertRows();
}

void TrafficTableModel::clear()
{
    beginResetModel();
    m_ring.clear();
    m_waiting.clear();
    m_waitingDropped = 0;
    endResetModel();
}

int TrafficTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_ring.size());
}

int TrafficTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_ring.size())
        return {};
    const TrafficRow& row = m_ring.at(index.row());
    if (role == Qt::ForegroundRole) {
        if (row.failure)
            return QBrush(kFailureText);
        if (row.direction == traffic::Direction::Tx)
            return QBrush(kTxText);
        return {};
    }
    if (role == Qt::ToolTipRole
        && (index.column() == Hex || index.column() == Ascii || index.column() == Summary))
        return row.summary + QLatin1Char('\n') + traffic::hexText(row.bytes);
    if (role == Qt::TextAlignmentRole
        && (index.column() == Gap || index.column() == Length || index.column() == SinceConnect))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Time:
        return traffic::wallClockText(row.wallClockMs).sliced(11); // the day is in the saved file
    case SinceConnect:
        return traffic::sinceConnectText(row.sinceConnectMs);
    case Gap:
        return row.gapMs;
    case Dir:
        return traffic::directionName(row.direction);
    case Protocol:
        return traffic::protocolName(row.protocol);
    case Length:
        return row.bytes.isEmpty() ? QVariant() : QVariant(row.bytes.size());
    case Hex:
        return withMoreMark(traffic::hexText(shownBytes(row.bytes)), row.bytes);
    case Ascii:
        return withMoreMark(traffic::asciiText(shownBytes(row.bytes)), row.bytes);
    case Summary:
        return row.failure ? QStringLiteral("FAILURE: ") + row.summary : row.summary;
    default:
        return {};
    }
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Time:
        return QStringLiteral("Time");
    case SinceConnect:
        return QStringLiteral("Since connect (s)");
    case Gap:
        return QStringLiteral("Gap (ms)");
    case Dir:
        return QStringLiteral("Dir");
    case Protocol:
        return QStringLiteral("Protocol");
    case Length:
        return QStringLiteral("Length");
    case Hex:
        return QStringLiteral("Hex");
    case Ascii:
        return QStringLiteral("ASCII");
    case Summary:
        return QStringLiteral("Summary");
    default:
        return {};
    }
}

} // namespace velto::ui

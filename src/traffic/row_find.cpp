#include "traffic/row_find.h"

#include "common/number_text.h"
#include "traffic/frame_labels.h"
#include "traffic/row_format.h"

namespace velto::traffic {

namespace {
constexpr qint64 kLargestAddress = 999; // a Velto address has up to three digits
} // namespace

std::optional<int> rowSlave(const TrafficRow& row)
{
    if (row.bytes.isEmpty())
        return std::nullopt;
    if (row.protocol == Protocol::ModbusRtu
        && (row.direction == Direction::Tx || row.direction == Direction::Rx))
        return quint8(row.bytes.front());
    if (row.protocol == Protocol::VeltoAscii && row.direction == Direction::Tx)
        return veltoRequestAddress(row.bytes);
    return std::nullopt;
}

std::optional<RowFind> RowFind::fromTyped(Mode mode, const QString& typed)
{
    RowFind find;
    find.mode = mode;
    if (mode == Mode::Text) {
        find.text = typed.trimmed();
        if (find.text.isEmpty())
            return std::nullopt;
        return find;
    }
    const std::optional<qint64> slave = parseWholeNumber(typed);
    if (!slave || *slave < 0 || *slave > kLargestAddress)
        return std::nullopt;
    find.slave = int(*slave);
    return find;
}

bool RowFind::matches(const TrafficRow& row) const
{
    if (mode == Mode::Slave)
        return rowSlave(row) == slave;
    return row.summary.contains(text, Qt::CaseInsensitive)
        || hexText(row.bytes).contains(text, Qt::CaseInsensitive)
        || asciiText(row.bytes).contains(text, Qt::CaseInsensitive);
}

} // namespace velto::traffic

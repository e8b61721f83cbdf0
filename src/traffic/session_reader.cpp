#include "traffic/session_reader.h"

#include "traffic/row_format.h"

#include <QFile>
#include <QFileInfo>

namespace velto::traffic {

namespace {

constexpr qint64 kMaxFileBytes = qint64(1) << 30;
constexpr int kMaxNumberDigits = 9;
constexpr int kRowFields = 9;
constexpr QByteArrayView kBom = "\xEF\xBB\xBF";
constexpr QByteArrayView kFailurePrefix = "FAILURE: ";
constexpr char kTimeFormat[] = "yyyy-MM-dd HH:mm:ss.zzz";
constexpr qsizetype kTimeLength = sizeof kTimeFormat - 1;

enum Field { Time, SinceConnect, Gap, Dir, Proto, Length, Hex, Ascii, Summary };

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A whole number of a few digits, no sign, no spaces.
std::optional<qint64> number(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > kMaxNumberDigits)
        return std::nullopt;
    qint64 value = 0;
    for (char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Upper or lower case; -1 for anything else.
int hexDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int digits(QByteArrayView text, qsizetype at, qsizetype count)
{
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        if (!isDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "2024-05-01 14:03:07.125" as milliseconds, the text taken as UTC: the header's offset turns it
// into the real instant, and no time-zone rule of the reading machine comes into it.
std::optional<qint64> timeText(QByteArrayView text)
{
    if (text.size() != kTimeLength)
        return std::nullopt;
    for (qsizetype i = 0; i < kTimeLength; ++i) {
        const char format = kTimeFormat[i];
        const bool wantsDigit = (format >= 'a' && format <= 'z') || (format >= 'A' && format <= 'Z');
        if (wantsDigit != isDigit(text[i]) || (!wantsDigit && text[i] != format))
            return std::nullopt;
    }
    const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    const QTime time(digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2), digits(text, 20, 3));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch();
}

// "12.345" or "-0.020" as milliseconds.
std::optional<qint64> secondsText(QByteArrayView text)
{
    const bool negative = text.startsWith('-');
    if (negative)
        text = text.sliced(1);
    const qsizetype dot = text.indexOf('.');
    if (dot < 0 || text.size() - dot != 4)
        return std::nullopt;
    const auto whole = number(text.first(dot));
    const auto fraction = number(text.sliced(dot + 1));
    if (!whole || !fraction)
        return std::nullopt;
    const qint64 ms = *whole * 1000 + *fraction;
    return negative ? -ms : ms;
}

std::optional<Direction> directionText(QByteArrayView text)
{
    for (Direction d : { Direction::Tx, Direction::Rx, Direction::Event }) {
        if (text == directionName(d).toLatin1())
            return d;
    }
    return std::nullopt;
}

std::optional<Protocol> protocolText(QByteArrayView text)
{
    for (Protocol p : { Protocol::Unknown, Protocol::ModbusRtu, Protocol::VeltoAscii, Protocol::Radar,
             Protocol::Flash, Protocol::Calibration, Protocol::Debug, Protocol::State }) {
        if (text == protocolName(p).toLatin1())
            return p;
    }
    return std::nullopt;
}

std::optional<QByteArray> hexBytes(QByteArrayView text, qint64 length)
{
    if (text.size() != (length == 0 ? 0 : 3 * length - 1))
        return std::nullopt;
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i) {
        const int high = hexDigit(text[3 * i]);
        const int low = hexDigit(text[3 * i + 1]);
        if (high < 0 || low < 0 || (i + 1 < length && text[3 * i + 2] != ' '))
            return std::nullopt;
        bytes[i] = char(high << 4 | low);
    }
    return bytes;
}

std::optional<TrafficRow> row(QByteArrayView line, qint64 offsetMs, QString& fault)
{
    QByteArrayView fields[kRowFields];
    int count = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != '\t')
            continue;
        if (count == kRowFields) {
            ++count;
            break;
        }
        fields[count++] = line.sliced(from, i - from);
        from = i + 1;
    }
    if (count != kRowFields) {
        fault = QStringLiteral("a row needs %1 fields separated by tabs; this line has %2")
                    .arg(kRowFields)
                    .arg(count > kRowFields ? QStringLiteral("more") : QString::number(count));
        return std::nullopt;
    }
    TrafficRow r;
    const auto time = timeText(fields[Time]);
    const auto since = secondsText(fields[SinceConnect]);
    const auto gap = number(fields[Gap]);
    const auto direction = directionText(fields[Dir]);
    const auto protocol = protocolText(fields[Proto]);
    const auto length = number(fields[Length]);
    if (!time)
        fault = QStringLiteral("the time is not of the form 2024-05-01 14:03:07.125");
    else if (!since)
        fault = QStringLiteral("the time since connect is not seconds with three decimals");
    else if (!gap)
        fault = QStringLiteral("the gap is not a whole number of milliseconds");
    else if (!direction)
        fault = QStringLiteral("the direction is not TX, RX or --");
    else if (!protocol)
        fault = QStringLiteral("'%1' is not a protocol").arg(QString::fromUtf8(fields[Proto]));
    else if (!length)
        fault = QStringLiteral("the length is not a whole number");
    if (!fault.isEmpty())
        return std::nullopt;
    const auto bytes = hexBytes(fields[Hex], *length);
    if (!bytes) {
        fault = QStringLiteral("the hex bytes are not %1 pairs of hex digits with a space between")
                    .arg(*length);
        return std::nullopt;
    }
    if (fields[Ascii] != asciiText(*bytes).toLatin1()) {
        fault = QStringLiteral("the ASCII column does not show the hex bytes");
        return std::nullopt;
    }
    r.wallClockMs = *time - offsetMs;
    r.sinceConnectMs = *since;
    r.gapMs = *gap;
    r.direction = *direction;
    r.protocol = *protocol;
    r.bytes = *bytes;
    QByteArrayView summary = fields[Summary];
    r.failure = summary.startsWith(kFailurePrefix);
    if (r.failure)
        summary = summary.sliced(kFailurePrefix.size());
    r.summary = QString::fromUtf8(summary);
    return r;
}

bool isHeaderKey(QByteArrayView key)
{
    if (key.isEmpty() || !QChar::isLetter(uchar(key[0])))
        return false;
    for (char c : key) {
        if (!(QChar::isLetterOrNumber(uchar(c)) || c == ' ' || c == '-'))
            return false;
    }
    return true;
}

// Walks the text line by line; every fault names its line.
class Parser {
public:
    explicit Parser(QByteArrayView text)
        : m_text(text.startsWith(kBom) ? text.sliced(kBom.size()) : text)
    {
    }

    SessionRead run()
    {
        SessionRead result;
        Session session;
        if (!readMagic() || !readHeader(session.header) || !readRows(session)) {
            result.line = m_line;
            result.error = m_fault;
            return result;
        }
        result.session = std::move(session);
        return result;
    }

private:
    // The next line without its line end; false at the end of the text.
    bool next(QByteArrayView& line)
    {
        if (m_at >= m_text.size())
            return false;
        const qsizetype end = m_text.indexOf('\n', m_at);
        m_lastLineOpen = end < 0;
        const qsizetype stop = end < 0 ? m_text.size() : end;
        line = m_text.sliced(m_at, stop - m_at);
        if (line.endsWith('\r'))
            line.chop(1);
        m_at = stop + 1;
        ++m_line;
        return true;
    }

    bool fail(const QString& text)
    {
        // A line that breaks off without its line end is where the file was cut.
        m_fault = m_lastLineOpen ? QStringLiteral("the file breaks off in this line (%1)").arg(text) : text;
        return false;
    }

    bool failAtEnd(const QString& what)
    {
        ++m_line;
        m_lastLineOpen = false;
        return fail(QStringLiteral("the file ends before %1: it was cut short").arg(what));
    }

    bool readMagic()
    {
        QByteArrayView line;
        if (!next(line)) {
            m_line = 1;
            return fail(QStringLiteral("the file is empty, not a session"));
        }
        // Whatever the first line is, it says what the file is, cut or not.
        m_lastLineOpen = false;
        const QByteArray prefix = QByteArray(kSessionMagic) + '\t';
        if (!line.startsWith(prefix)) {
            if (line == rowHeader().toLatin1())
                return fail(QStringLiteral("a list of traffic rows without a session header (saved by an "
                                           "older version): it cannot be replayed"));
            return fail(QStringLiteral("not a session file: it should begin with \"%1\"")
                            .arg(QLatin1String(kSessionMagic)));
        }
        const auto version = number(line.sliced(prefix.size()));
        if (!version || *version == 0)
            return fail(QStringLiteral("'%1' is not a session version")
                            .arg(QString::fromUtf8(line.sliced(prefix.size()))));
        if (*version > kSessionVersion)
            return fail(QStringLiteral("session version %1 is newer than this program reads (%2); open it "
                                       "with a newer version of the program")
                            .arg(*version)
                            .arg(kSessionVersion));
        return true;
    }

    bool readHeader(SessionHeader& header)
    {
        const QByteArray columns = rowHeader().toUtf8();
        bool program = false, date = false, port = false, settings = false;
        QByteArrayView line;
        while (next(line)) {
            if (line == columns) {
                const char* missing = !program ? "Program"
                    : !date                    ? "Date"
                    : !port                    ? "Port"
                    : !settings                ? "Settings"
                                               : nullptr;
                if (missing)
                    return fail(QStringLiteral("the header has no %1 line before the column line")
                                    .arg(QLatin1String(missing)));
                return true;
            }
            const qsizetype tab = line.indexOf('\t');
            const QByteArrayView key = tab < 0 ? line : line.first(tab);
            if (tab < 0 || !isHeaderKey(key))
                return fail(QStringLiteral("not a header line (a name, a tab and its value) nor the column "
                                           "line"));
            const QString value = QString::fromUtf8(line.sliced(tab + 1));
            if (key == "Program") {
                header.program = value;
                program = true;
            } else if (key == "Date") {
                header.date = QDateTime::fromString(value, Qt::ISODateWithMs);
                if (!header.date.isValid())
                    return fail(QStringLiteral("the date is not of the form 2024-05-01T14:03:07.125+02:00"));
                date = true;
            } else if (key == "Port") {
                header.port = value;
                port = true;
            } else if (key == "Settings") {
                header.settings = value;
                settings = true;
            }
        }
        return failAtEnd(QStringLiteral("its column line"));
    }

    bool readRows(Session& session)
    {
        const qint64 offsetMs = qint64(session.header.date.offsetFromUtc()) * 1000;
        const QByteArray end = QByteArray(kSessionEnd) + '\t';
        QByteArrayView line;
        while (next(line)) {
            if (line.startsWith(end)) {
                const auto count = number(line.sliced(end.size()));
                if (!count || *count != session.rows.size())
                    return fail(QStringLiteral("the End line counts %1 rows, the file has %2")
                                    .arg(QString::fromUtf8(line.sliced(end.size())))
                                    .arg(session.rows.size()));
                return readNothingMore();
            }
            QString fault;
            auto r = row(line, offsetMs, fault);
            if (!r)
                return fail(fault);
            session.rows.append(std::move(*r));
        }
        return failAtEnd(QStringLiteral("its End line"));
    }

    bool readNothingMore()
    {
        QByteArrayView line;
        while (next(line)) {
            if (!line.trimmed().isEmpty())
                return fail(QStringLiteral("text after the End line"));
        }
        return true;
    }

    QByteArrayView m_text;
    qsizetype m_at = 0;
    int m_line = 0;
    bool m_lastLineOpen = false;
    QString m_fault;
};

} // namespace

QString SessionRead::message() const
{
    return line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(error) : error;
}

SessionRead parseSession(QByteArrayView text)
{
    return Parser(text).run();
}

SessionRead readSessionFile(const QString& path)
{
    SessionRead refused;
    const QFileInfo info(path);
    // A device or a pipe could be read without end.
    if (info.exists() && !info.isFile()) {
        refused.error = QStringLiteral("%1 is not a file").arg(path);
        return refused;
    }
    if (info.size() > kMaxFileBytes) {
        refused.error = QStringLiteral("%1 is too large for a session").arg(path);
        return refused;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        refused.error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return refused;
    }
    const QByteArray text = file.read(kMaxFileBytes + 1);
    if (file.error() != QFile::NoError) {
        refused.error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return refused;
    }
    return parseSession(text);
}

} // namespace velto::traffic

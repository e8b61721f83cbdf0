#include "traffic/frame_labels.h"

namespace velto::traffic {

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kFirstPrintable = 0x20;
constexpr char kLastPrintable = 0x7e;

// The sensor's line forms as the parsing of a capture reads them: what the line will become there.
struct LineForm {
    const char* start;
    const char* meaning;
};
// Lines that begin with "D" but are no records.
constexpr const char* kNotRecords[] = { "D: DIST", "Decreas" };
constexpr LineForm kSearchLines[] = {
    { "R_SEARCH : Current Search Distance =", "search distance" },
    { "R_SEARCH : Occur jump", "search: jump" },
    { "---> Enter to QuickSearch", "search: quick search" },
    { "R_SEARCH : search is failed", "search: failed" },
};

QString lineKind(QByteArrayView text)
{
    if (text.startsWith('D')) {
        bool record = true;
        for (const char* other : kNotRecords)
            record = record && !text.startsWith(other);
        if (record)
            return QStringLiteral("record");
    }
    for (const LineForm& form : kSearchLines) {
        if (text.startsWith(form.start))
            return QString::fromLatin1(form.meaning);
    }
    return QStringLiteral("text");
}

// The line as a reader wants it in one cell: printable ASCII, anything else a dot.
QString printable(QByteArrayView text)
{
    QString out(text.size(), QLatin1Char('.'));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] >= kFirstPrintable && text[i] <= kLastPrintable)
            out[i] = QLatin1Char(text[i]);
    }
    return out;
}

} // namespace

FrameLabel labelDebugLine(QByteArrayView frame)
{
    // Its end is in the bytes already; the summary carries what the ASCII column cuts.
    const bool whole = frame.endsWith(kLineFeed);
    QByteArrayView text = frame;
    while (!text.isEmpty() && (text.back() == kLineFeed || text.back() == kCarriageReturn))
        text.chop(1);
    QString summary = lineKind(text) + QStringLiteral(": ") + printable(text);
    if (!whole)
        summary += QStringLiteral(" (no line end yet)");
    return { Protocol::Debug, summary, {} };
}

} // namespace velto::traffic

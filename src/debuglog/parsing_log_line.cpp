#include "debuglog/parsing_log_line.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace velto::debuglog {

namespace {

using Kind = ParsingLogLine::Kind;
using Problem = ParsingLogLine::Problem;

// A tagged field: the tag, the letter that ends its value (the next field's first letter) and
// the column the value goes to.
struct TagRule {
    std::string_view tag;
    char endLetter;
    ParsingColumn column;
};

// Every tag but S, whose value is a status character and a time stamp.
constexpr TagRule kTagRules[] = {
    { "C", 'S', ParsingColumn::Current4_20 },
    { "D", 'R', ParsingColumn::Distance },
    { "P", 'G', ParsingColumn::Power },
    { "G", 'Z', ParsingColumn::Gain },
    { "Z", 'A', ParsingColumn::Zone },
    { "A", 'T', ParsingColumn::Amplitude },
    { "Th", 'N', ParsingColumn::Treshold },
    { "N", 'T', ParsingColumn::Pulses },
    { "Ti", 'T', ParsingColumn::Timer },
    { "Tn", 'T', ParsingColumn::TBmin },
    { "Tx", 'T', ParsingColumn::TBmax },
    { "M", 'C', ParsingColumn::Mode },
    { "Tp", 'M', ParsingColumn::Temperature },
    { "RD", 'R', ParsingColumn::RawDistance },
    { "RD2", 'P', ParsingColumn::RawDistance2 },
};
constexpr std::string_view kStatusTag = "S";

// Lines that begin with "D" but are other debug messages.
constexpr std::string_view kNotRecords[] = { "D: DIST", "Decreas" };

constexpr std::string_view kSearchDistance = "R_SEARCH : Current Search Distance =";
constexpr std::size_t kSearchDistanceAt = 38; // 0-based; the distance is 5 characters from here
constexpr std::size_t kSearchDistanceWidth = 5;

struct SearchEvent {
    std::string_view start;
    qint32 decision;
};
constexpr SearchEvent kSearchEvents[] = {
    { "R_SEARCH : Occur jump", 1 },
    { "---> Enter to QuickSearch", 2 },
    { "R_SEARCH : search is failed", 3 },
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A whole number with an optional sign, spaces anywhere left out; empty when the text is not one
// or does not fit 32 bits.
std::optional<qint32> wholeNumber(std::string_view text)
{
    qint64 value = 0;
    bool negative = false;
    bool signAllowed = true;
    int digits = 0;
    for (char c : text) {
        if (c == ' ')
            continue;
        if (signAllowed && (c == '-' || c == '+')) {
            negative = c == '-';
            signAllowed = false;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        signAllowed = false;
        value = value * 10 + (c - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    value = negative ? -value : value;
    if (value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return qint32(value);
}

// A decimal number such as "12.50" or ".50", blanks around it allowed.
std::optional<double> decimalNumber(std::string_view text)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    // from_chars would also take "inf" and "nan", which no stamp is.
    if (text.empty()
        || !(text.front() == '-' || text.front() == '.' || (text.front() >= '0' && text.front() <= '9')))
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

ParsingLogLine malformed(Problem problem, std::string_view tag)
{
    ParsingLogLine out;
    out.kind = Kind::Malformed;
    out.problem = problem;
    out.problemTag = tag;
    return out;
}

bool isRecordLine(std::string_view line)
{
    if (line.empty() || line.front() != 'D')
        return false;
    for (std::string_view other : kNotRecords) {
        if (line.starts_with(other))
            return false;
    }
    return true;
}

ParsingLogLine parseRecord(std::string_view line)
{
    ParsingLogLine out;
    out.kind = Kind::Record;
    for (const TagRule& rule : kTagRules) {
        const std::size_t at = line.find(rule.tag);
        if (at == std::string_view::npos)
            continue;
        const std::size_t valueStart = at + rule.tag.size();
        const std::size_t end = line.find(rule.endLetter, valueStart);
        if (end == std::string_view::npos)
            return malformed(Problem::NoEndLetter, rule.tag);
        const auto value = wholeNumber(line.substr(valueStart, end - valueStart));
        if (!value)
            return malformed(Problem::NotANumber, rule.tag);
        out.record.set(rule.column, *value);
        if (rule.column == ParsingColumn::Current4_20)
            out.currentOutput = *value == 1;
    }
    if (const std::size_t at = line.find(kStatusTag); at != std::string_view::npos) {
        std::size_t status = at + kStatusTag.size();
        while (status < line.size() && line[status] == ' ')
            ++status;
        if (status == line.size())
            return malformed(Problem::NoStatus, kStatusTag);
        const char c = line[status];
        if (c < '0' || c > '9')
            return malformed(Problem::NotANumber, kStatusTag);
        const auto time = decimalNumber(line.substr(status + 1));
        if (!time)
            return malformed(Problem::NotANumber, "Time");
        out.record.set(ParsingColumn::Statue, c - '0');
        out.record.set(ParsingColumn::Time, *time);
    }
    out.record.set(ParsingColumn::DistanceJump, 0);
    out.record.set(ParsingColumn::AlgDecision, 0);
    return out;
}

} // namespace

ParsingLogLine parseLogLine(std::string_view line)
{
    if (isRecordLine(line))
        return parseRecord(line);
    if (line.starts_with(kSearchDistance)) {
        const std::string_view digits = line.size() > kSearchDistanceAt
            ? line.substr(kSearchDistanceAt, kSearchDistanceWidth)
            : std::string_view();
        const auto distance = wholeNumber(trimmed(digits));
        // Blanks inside the five characters are not left out here: "12\t 3" is no distance.
        if (!distance || trimmed(digits).find(' ') != std::string_view::npos)
            return malformed(Problem::NotANumber, kSearchDistance);
        ParsingLogLine out;
        out.kind = Kind::SearchDistance;
        out.number = *distance;
        return out;
    }
    for (const SearchEvent& event : kSearchEvents) {
        if (line.starts_with(event.start)) {
            ParsingLogLine out;
            out.kind = Kind::SearchEvent;
            out.number = event.decision;
            return out;
        }
    }
    return {};
}

QString ParsingLogLine::problemText() const
{
    const QString tag = QString::fromLatin1(problemTag.data(), qsizetype(problemTag.size()));
    switch (problem) {
    case Problem::NotANumber:
        return QStringLiteral("%1: not a number").arg(tag);
    case Problem::NoEndLetter:
        return QStringLiteral("%1: its value has no end").arg(tag);
    case Problem::NoStatus:
        return QStringLiteral("%1: no status character").arg(tag);
    case Problem::TooLong:
        return QStringLiteral("line too long to be read");
    case Problem::None:
        break;
    }
    return {};
}

} // namespace velto::debuglog

#pragma once

#include <QIODevice>

#include <string>
#include <string_view>

namespace velto::debugterm {

// Lines of a text file, read in large blocks. A line is given without its LF or CR LF; a last line
// without an end counts too. Memory stays bounded: a line longer than kMaxLineBytes is given cut to
// that length and flagged, whatever the file holds.
class ParsingLineReader {
public:
    static constexpr qsizetype kMaxLineBytes = 1 << 20;

    explicit ParsingLineReader(QIODevice& device);

    // False at the end of the file or on a read error (see failed()). The line stays valid until
    // the next call.
    bool next(std::string_view& line, bool& cut);
    bool failed() const { return m_failed; }

private:
    bool fill();

    QIODevice& m_device;
    std::string m_block;
    std::size_t m_pos = 0;
    std::string m_carry; // a line that runs over the end of a block
    bool m_atEnd = false;
    bool m_failed = false;
};

} // namespace velto::debugterm

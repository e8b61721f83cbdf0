#pragma once

#include <QIODevice>

#include <atomic>
#include <string>
#include <string_view>

namespace velto::debuglog {

// Lines of a text file, read in large blocks. A line is given without its LF or CR LF; a last line
// without an end counts too, and is flagged. Memory stays bounded: a line longer than kMaxLineBytes
// is given cut to that length and flagged, whatever the file holds. The cancel flag is looked at
// before every block, so even a file of one endless line can be given up.
class ParsingLineReader {
public:
    static constexpr qsizetype kMaxLineBytes = 1 << 20;

    explicit ParsingLineReader(QIODevice& device, const std::atomic<bool>* cancel = nullptr);

    // False at the end of the file, on a read error (see failed()) or once cancelled. The line
    // stays valid until the next call.
    bool next(std::string_view& line, bool& cut);
    bool failed() const { return m_failed; }
    bool cancelled() const { return m_cancelled; }
    // The line last given is the file's last and has no line end (the file was cut short).
    bool unfinished() const { return m_unfinished; }

private:
    bool fill();

    QIODevice& m_device;
    const std::atomic<bool>* m_cancel;
    std::string m_block;
    std::size_t m_pos = 0;
    std::string m_carry; // a line that runs over the end of a block
    bool m_atEnd = false;
    bool m_failed = false;
    bool m_cancelled = false;
    bool m_unfinished = false;
};

} // namespace velto::debuglog

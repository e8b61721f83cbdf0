#include "debuglog/parsing_line_reader.h"

#include <cstring>

namespace velto::debuglog {

namespace {
constexpr qsizetype kBlockBytes = 1 << 20;

std::string_view withoutCr(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}
} // namespace

ParsingLineReader::ParsingLineReader(QIODevice& device, const std::atomic<bool>* cancel)
    : m_device(device)
    , m_cancel(cancel)
{
    m_block.reserve(kBlockBytes);
}

bool ParsingLineReader::fill()
{
    if (m_cancel && m_cancel->load(std::memory_order_relaxed)) {
        m_cancelled = true;
        m_block.clear();
        return false;
    }
    m_block.resize(kBlockBytes);
    const qint64 got = m_device.read(m_block.data(), kBlockBytes);
    if (got < 0) {
        m_failed = true;
        m_block.clear();
        return false;
    }
    m_block.resize(std::size_t(got));
    m_pos = 0;
    return got > 0;
}

bool ParsingLineReader::next(std::string_view& line, bool& cut)
{
    m_carry.clear();
    cut = false;
    for (;;) {
        if (m_pos >= m_block.size()) {
            if (m_atEnd || !fill()) {
                m_atEnd = true;
                if (m_failed || m_cancelled || (m_carry.empty() && !cut))
                    return false;
                m_unfinished = true;
                line = withoutCr(m_carry);
                return true;
            }
        }
        const char* start = m_block.data() + m_pos;
        const std::size_t left = m_block.size() - m_pos;
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', left));
        const std::size_t length = lf ? std::size_t(lf - start) : left;
        m_pos += length + (lf ? 1 : 0);
        if (lf && m_carry.empty() && !cut) {
            // The common case: the whole line lies in the block.
            line = withoutCr(std::string_view(start, std::min<std::size_t>(length, kMaxLineBytes)));
            cut = length > std::size_t(kMaxLineBytes);
            return true;
        }
        const std::size_t room
            = std::size_t(kMaxLineBytes) - std::min(m_carry.size(), std::size_t(kMaxLineBytes));
        m_carry.append(start, std::min(length, room));
        cut = cut || length > room;
        if (lf) {
            line = withoutCr(m_carry);
            return true;
        }
    }
}

} // namespace velto::debuglog

#pragma once

namespace velto::debugterm {

// Counts the lines shown on the terminal screen. The screen is emptied right after the 51st line
// since the window opened and then after every 50th, so it never holds more than fifty lines.
class ScreenLineCounter {
public:
    static constexpr int kLinesPerScreen = 50;

    // A line was shown; true when the screen is to be emptied now.
    bool lineShown()
    {
        if (m_count > kLinesPerScreen - 1) {
            m_count = 1;
            return true;
        }
        ++m_count;
        return false;
    }
    int count() const { return m_count; }
    void reset() { m_count = 0; }

private:
    int m_count = 0;
};

} // namespace velto::debugterm

#pragma once

#include <QString>

namespace velto::test {

// Root ignores the mode bits of files and folders, so a test of a read-only folder proves nothing
// when it runs as root. While one of these lives, the process reaches files as the unprivileged user
// "nobody" (its effective user and group ids only, so the test can go back). Where that is not
// possible or not needed, active() says why a test should skip.
class UnprivilegedFiles {
public:
    UnprivilegedFiles();
    ~UnprivilegedFiles();
    UnprivilegedFiles(const UnprivilegedFiles&) = delete;
    UnprivilegedFiles& operator=(const UnprivilegedFiles&) = delete;

    // True when mode bits now hold for the process (as nobody, or because the test is no root).
    bool active() const { return m_active; }
    QString whyNot() const { return m_whyNot; }

    // Opens a folder made by root to the unprivileged user: read and search for all, writing for
    // none but its owner.
    static bool openToAll(const QString& folder);

private:
    bool m_active = false;
    bool m_switched = false;
    unsigned m_oldUid = 0;
    unsigned m_oldGid = 0;
    QString m_whyNot;
};

} // namespace velto::test

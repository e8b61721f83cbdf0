#include "support/unprivileged_files.h"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

namespace velto::test {

UnprivilegedFiles::UnprivilegedFiles()
{
    if (geteuid() != 0) {
        m_active = true;
        return;
    }
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) {
        m_whyNot = QStringLiteral("running as root and there is no user nobody to act as");
        return;
    }
    // The whole process, not the calling thread alone: background jobs write from pooled threads.
    // Only the effective ids change, so the saved root ids let the test go back.
    m_oldGid = unsigned(getegid());
    m_oldUid = unsigned(geteuid());
    if (setegid(nobody->pw_gid) != 0 || seteuid(nobody->pw_uid) != 0) {
        m_whyNot = QStringLiteral("running as root and the effective user id cannot be changed");
        setegid(m_oldGid);
        return;
    }
    m_switched = true;
    m_active = true;
}

UnprivilegedFiles::~UnprivilegedFiles()
{
    if (!m_switched)
        return;
    // Root's id first: changing the group needs it.
    if (seteuid(m_oldUid) != 0 || setegid(m_oldGid) != 0)
        qFatal("cannot take back the effective ids of root");
}

bool UnprivilegedFiles::openToAll(const QString& folder)
{
    return QFile::setPermissions(folder,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}

} // namespace velto::test

#include "support/unprivileged_files.h"

#include <QFile>

#include <pwd.h>
#include <sys/fsuid.h>
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
    // setfsuid answers with the previous id whether or not it changed anything; asking again tells.
    m_oldGid = unsigned(setfsgid(nobody->pw_gid));
    m_oldUid = unsigned(setfsuid(nobody->pw_uid));
    m_switched = true;
    if (unsigned(setfsuid(nobody->pw_uid)) != nobody->pw_uid) {
        m_whyNot = QStringLiteral("running as root and the file-system user id cannot be changed");
        return;
    }
    m_active = true;
}

UnprivilegedFiles::~UnprivilegedFiles()
{
    if (!m_switched)
        return;
    setfsuid(m_oldUid);
    setfsgid(m_oldGid);
}

bool UnprivilegedFiles::openToAll(const QString& folder)
{
    return QFile::setPermissions(folder,
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}

} // namespace velto::test

#include "serial/port_access.h"
#include "serial/qt_byte_link.h"
#include "support/pty_pair.h"
#include "support/serial_rtu_master.h"
#include "support/unprivileged.h"

#include <QFile>
#include <QTest>

using velto::test::PtyPair;
using velto::test::runUnprivileged;

namespace {
constexpr auto kSettings = "9600,n,8,1";
const QString kJoinDialout = QStringLiteral("join the group dialout (sudo adduser ");
} // namespace

// A port that exists but is closed to this user: both openers say plainly which group to join.
class TstPortAccess : public QObject {
    Q_OBJECT
private slots:
    void deniedPortNamesTheGroup()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QVERIFY(QFile::setPermissions(pty.slavePath(), QFile::Permissions()));
        const QString path = pty.slavePath();
        const std::optional<bool> named = runUnprivileged([&path] {
            velto::serial::QtByteLink link;
            velto::test::SerialRtuMaster master;
            const bool linkRefused = !link.open(path, kSettings);
            const bool masterRefused = !master.openPort(path, kSettings);
            return linkRefused && masterRefused && link.errorText().contains(kJoinDialout)
                && master.lastErrorText().contains(kJoinDialout)
                && link.errorText().startsWith(QStringLiteral("Cannot open ") + path);
        });
        if (!named)
            QSKIP("cannot drop to an unprivileged user here");
        QVERIFY(*named);
    }

    // Other failures keep their own text: a missing device or an open port is no matter of groups.
    void noAdviceWhenAccessIsNotTheProblem()
    {
        QVERIFY(velto::serial::portAccessAdvice(QStringLiteral("/dev/velto-no-such-port")).isEmpty());
        QVERIFY(velto::serial::portAccessAdvice(QString()).isEmpty());
        PtyPair pty;
        QVERIFY(pty.isValid());
        QVERIFY(velto::serial::portAccessAdvice(pty.slavePath()).isEmpty());
        velto::serial::QtByteLink link;
        QVERIFY(!link.open(QStringLiteral("/dev/velto-no-such-port"), kSettings));
        QVERIFY(!link.errorText().contains(QStringLiteral("dialout")));
    }
};

QTEST_GUILESS_MAIN(TstPortAccess)
#include "tst_port_access.moc"

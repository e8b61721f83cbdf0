#include "common/data_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velto;

class TstDataFolder : public QObject {
    Q_OBJECT
private slots:
    void init() { m_home = qgetenv("HOME"); }
    void cleanup() { qputenv("HOME", m_home); }
    void madeUnderTheHomeFolderWhenMissing();
    void emptyWhenItCannotBeMade();

private:
    QByteArray m_home;
};

void TstDataFolder::madeUnderTheHomeFolderWhenMissing()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    qputenv("HOME", QFile::encodeName(home.path()));
    const QString expected = home.path() + QStringLiteral("/Rendo Monitor/");
    QCOMPARE(dataFolderPath(), expected);
    QVERIFY(!QDir(expected).exists());
    QCOMPARE(ensureDataFolder(), expected);
    QVERIFY(QDir(expected).exists());
    // A second call finds it there.
    QCOMPARE(ensureDataFolder(), expected);
}

void TstDataFolder::emptyWhenItCannotBeMade()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A plain file where the home folder should be: nothing can be made under it.
    const QString notAFolder = dir.filePath(QStringLiteral("home"));
    QFile file(notAFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("HOME", QFile::encodeName(notAFolder));
    QCOMPARE(ensureDataFolder(), QString());
}

QTEST_GUILESS_MAIN(TstDataFolder)
#include "tst_data_folder.moc"

#include "platform/FileSystem.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFileSystem final : public QObject
{
    Q_OBJECT

private slots:
    void staleTemporariesAreRemoved();
};

// Copies of the named files older than a minute and held by nobody go; young ones, held ones,
// word-like suffixes and every other file stay.
void TestFileSystem::staleTemporariesAreRemoved()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QDateTime old = QDateTime::currentDateTime().addSecs(-120);
    const struct
    {
        const char* name;
        bool aged;
        bool removed;
    } files[] = {
        {"Web Server.vm2.aBcDeF", true, true}, {"vimor.ini.XyZabc", true, true},
        {"panels.dat.QwErTy", true, true},     {"young.vm2.AbCdEf", false, false},
        {"held.vm2.GhIjKl", true, false},      {"Web Server.vm2", true, false},
        {"notes.txt.AbCdEf", true, false},     {"vmstore.dat.AbCdEf", true, false},
        {"Web.vm2.backup", true, false},       {"Web.vm2.Backup", true, false},
        {"Web.vm2.BACKUP", true, false},       {"Web.vm2.AbCdE", true, false},
        {"Web.vm2.AbC1Ef", true, false},
    };
    QFile held(folder.filePath(QStringLiteral("held.vm2.GhIjKl")));
    for (const auto& f : files) {
        QFile file(folder.filePath(QString::fromUtf8(f.name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("x") == 1 && file.flush());
        if (f.aged)
            QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QVERIFY(held.open(QIODevice::ReadOnly));

    const QStringList named = {QStringLiteral("*.vm2"), QStringLiteral("VIMOR.INI"),
                               QStringLiteral("panels.dat")};
    QCOMPARE(FileSystem::removeStaleTemporaries(folder.path(), named), 3);
    for (const auto& f : files)
        QVERIFY2(QFile::exists(folder.filePath(QString::fromUtf8(f.name))) != f.removed, f.name);
}

QTEST_GUILESS_MAIN(TestFileSystem)
#include "tst_filesystem.moc"

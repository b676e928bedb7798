#include "app/ProgramFolderLayout.h"
#include "app/UserProgramFolder.h"
#include "library/HardwarePreset.h"
#include "library/OsProfiles.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"

#include <QTemporaryDir>
#include <QTest>

// A program folder laid out by an earlier build keeps its profiles; the shipped ones learn their
// hardware.
class TestProgramFolderLayout final : public QObject
{
    Q_OBJECT

private slots:
    void earlierProfilesGetPresets()
    {
        QTemporaryDir folder;
        const QString table = folder.filePath(TableSchemas::OpSysTable);
        QVERIFY(CreateTable(table, TableSchemas::opSysFields()));
        TableHandle opsys;
        opsys.setFolder(folder.path());
        opsys.setTableName(TableSchemas::OpSysTable);
        for (const OsProfile& row :
             {OsProfile{QStringLiteral("Windows 11"), QStringLiteral("2048"),
                        QStringLiteral("30000")},
              OsProfile{QStringLiteral("Debian 12"), QStringLiteral("1024"), QStringLiteral("8000"),
                        QStringLiteral("arch=32")},
              OsProfile{QStringLiteral("My OS"), QStringLiteral("64"), QStringLiteral("100")},
              OsProfile{QStringLiteral("Windows 7"), QStringLiteral("2048"), QStringLiteral("1")}})
            QVERIFY(AddProfile(opsys, row));
        opsys.close();

        QString error;
        QVERIFY2(ProgramFolderLayout::layOut(folder.path(), &error), qPrintable(error));
        const QList<OsProfile> rows = ListProfiles(opsys);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(0).ram, QStringLiteral("2048"));
        QCOMPARE(rows.at(0).disk, QStringLiteral("30000"));
        QVERIFY2(rows.at(0).hardware.contains(QStringLiteral("firmware=uefi-secure;tpm=2.0")),
                 qPrintable(rows.at(0).hardware));
        QVERIFY(HardwarePresets::Parse(rows.at(0).hardware).clipboard.value_or(false));
        QCOMPARE(rows.at(1).hardware, QStringLiteral("arch=32"));
        QCOMPARE(rows.at(2).hardware, QString());
        QCOMPARE(rows.at(3).hardware, QStringLiteral("usb=uhci"));
    }

    // An installed copy's per-user folder holds the user's VMs and disks: 0700, also one an older
    // release made 0755.
    void userFolderIsPrivate()
    {
        QTemporaryDir installed, data;
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        const QString user = data.filePath(QStringLiteral("vimor"));
        QVERIFY(QDir().mkdir(user, QFile::Permissions(0x7755)) &&
                QFile(installed.filePath(QStringLiteral("installed"))).open(QIODevice::WriteOnly));
        QCOMPARE(UserProgramFolder::choose(installed.path(), nullptr), user);
        QCOMPARE(QFile::permissions(user), QFile::Permissions(0x7700));
    }
};

QTEST_GUILESS_MAIN(TestProgramFolderLayout)
#include "tst_programfolderlayout.moc"

#include "media/DriveEditing.h"
#include "model/Settings.h"
#include "model/TableHandle.h"
#include "model/VMContext.h"
#include "platform/ui/ImageLibrary.h"
#include "versions/VersionRegistry.h"

#include <QMap>
#include <QTest>

using namespace DriveEditing;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// A VM held in memory that records its writes in order; a key named in failOn refuses to be
// written.
class MemoryVM final : public VMContext
{
public:
    QMap<QString, QString> values; // "Section/Key" -> value
    QStringList writes;            // "Section/Key=value", in order
    QString failOn;

    QString selectedVM() const override { return s("memory.vm2"); }
    QString selectedVMName() const override { return s("memory"); }
    QString ReadVMValue(const QString& section, const QString& key) const override
    {
        return values.value(section + u'/' + key);
    }
    bool WriteVMValue(const QString&, const QString& section, const QString& key,
                      const QString& value) override
    {
        if (key == failOn)
            return false;
        values.insert(section + u'/' + key, value);
        writes.append(section + u'/' + key + u'=' + value);
        return true;
    }
    VersionRegistry& versions() override { return m_versions; }
    TableHandle& table(Table) override { return m_table; }
    const StartSettings& startSettings() const override { return m_settings; }
    void ShowSettings() override {}
    QWidget* dialogParent() override { return nullptr; }
    const ImageLibrary& images() const override { return m_images; }

    void set(const char* sectionAndKey, const char* value)
    {
        values.insert(s(sectionAndKey), s(value));
    }

private:
    TableHandle m_table;
    TableHandle m_lookup;
    TableHandle m_stores;
    VersionRegistry m_versions{m_table, m_lookup, m_stores};
    StartSettings m_settings;
    ImageLibrary m_images;
};

QStringList list(std::initializer_list<const char*> texts)
{
    QStringList result;
    for (const char* text : texts)
        result.append(s(text));
    return result;
}

} // namespace

class TestDriveEditing final : public QObject
{
    Q_OBJECT

private slots:
    void diskKeys_data();
    void diskKeys();
    void nonDiskIcons();
    void mediaRows_data();
    void mediaRows();
    void floppyDrivesForFloppyLabelOnly();

    void diskPresetAndSave();
    void diskSaveStopsAtFirstFailure();
    void cdromAndHardDisk2Exclusion_data();
    void cdromAndHardDisk2Exclusion();
    void removals();
    void mediaSaveResetsOldSwitches_data();
    void mediaSaveResetsOldSwitches();

    void bootOrderWindowFollowsVersionCode_data();
    void bootOrderWindowFollowsVersionCode();
    void bootOrderSplit_data();
    void bootOrderSplit();
    void bootOrderRoundTrip();
    void threeItemLimit();
    void moves_data();
    void moves();
    void bootOrderSave();

    void bootDrivePreset_data();
    void bootDrivePreset();
    void bootDriveSaveOrder_data();
    void bootDriveSaveOrder();

    void physicalDisks_data();
    void physicalDisks();
    void sharedFolders();
};

void TestDriveEditing::diskKeys_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("drive");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("encrypted");
    QTest::addColumn<QString>("scsi");
    QTest::addColumn<QString>("label");
    QTest::newRow("disk 0") << 16 << 0 << s("HDA") << s("HDAEnc") << s("HDASCSI")
                            << s("Specify Hard Disk 0 Path");
    QTest::newRow("disk 1") << 33 << 1 << s("HDB") << s("HDBEnc") << s("HDBSCSI")
                            << s("Specify Hard Disk 1 Path");
    QTest::newRow("disk 2") << 34 << 2 << s("HDC") << s("HDCEnc") << s("HDCSCSI")
                            << s("Specify Hard Disk 2 Image");
    QTest::newRow("disk 3") << 35 << 3 << s("HDD") << s("HDDEnc") << s("HDDSCSI")
                            << s("Specify Hard Disk 3 Image");
}

void TestDriveEditing::diskKeys()
{
    QFETCH(int, icon);
    const auto keys = DiskKeysOf(icon);
    QVERIFY(keys);
    QTEST(keys->drive, "drive");
    QTEST(keys->value, "key");
    QTEST(keys->encrypted, "encrypted");
    QTEST(keys->scsi, "scsi");
    QTEST(keys->label, "label");
}

void TestDriveEditing::nonDiskIcons()
{
    for (int icon : {18, 36, 39, 21, 31, 0, 17, -1}) {
        QVERIFY2(!DiskKeysOf(icon), qPrintable(QString::number(icon)));
    }
    for (int icon : {16, 33, 34, 35, 21, 31, 0, 37}) {
        QVERIFY2(!MediaRowOf(icon), qPrintable(QString::number(icon)));
    }
}

void TestDriveEditing::mediaRows_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("filter");
    const QString floppy = s("Floppy Image|*.img|CD/DVD Image|*.Iso|All Files|*.*");
    QTest::newRow("floppy 0") << 18 << s("FloppyA") << s("Specify Floppy Disk Image") << floppy;
    QTest::newRow("floppy 1") << 36 << s("FloppyB") << s("Specify Floppy Disk Image") << floppy;
    QTest::newRow("cd") << 39 << s("CDROM") << s("Specify CD/DVD Image")
                        << s("CD/DVD Image|*.Iso|Floppy Image|*.img|All Files|*.*");
}

void TestDriveEditing::mediaRows()
{
    QFETCH(int, icon);
    const auto row = MediaRowOf(icon);
    QVERIFY(row);
    QTEST(row->key, "key");
    QTEST(row->label, "label");
    QTEST(row->filter, "filter");
}

void TestDriveEditing::floppyDrivesForFloppyLabelOnly()
{
    QVERIFY(WantsFloppyDrives(s("Specify Floppy Disk Image")));
    QVERIFY(!WantsFloppyDrives(s("Specify CD/DVD Image")));
    QVERIFY(!WantsFloppyDrives(s("specify floppy disk image")));
}

void TestDriveEditing::diskPresetAndSave()
{
    MemoryVM vm;
    vm.set("Drives/HDB", "disk1.qcow2");
    vm.set("Drives/HDBEnc", "Yes");
    vm.set("Drives/HDBSCSI", "yes"); // flags compare exactly
    const DiskKeys keys = *DiskKeysOf(33);
    const DiskPreset preset = ReadDisk(vm, keys);
    QCOMPARE(preset.value, s("disk1.qcow2"));
    QVERIFY(preset.encrypted);
    QVERIFY(!preset.scsi);

    QVERIFY(SaveDisk(vm, keys, s("fat::rw:/srv/share"), false, true));
    QCOMPARE(vm.writes,
             list({"Drives/HDB=fat::rw:/srv/share", "Drives/HDBEnc=No", "Drives/HDBSCSI=Yes"}));
}

void TestDriveEditing::diskSaveStopsAtFirstFailure()
{
    MemoryVM vm;
    vm.failOn = s("HDAEnc");
    QVERIFY(!SaveDisk(vm, *DiskKeysOf(16), s("a.dsk"), true, true));
    QCOMPARE(vm.writes, list({"Drives/HDA=a.dsk"}));
}

void TestDriveEditing::cdromAndHardDisk2Exclusion_data()
{
    QTest::addColumn<QString>("cdrom");
    QTest::addColumn<QString>("systemCd");
    QTest::addColumn<QString>("hdc");
    QTest::addColumn<bool>("cdInUse");
    QTest::addColumn<bool>("hdcInUse");
    QTest::newRow("nothing") << QString() << QString() << QString() << false << false;
    QTest::newRow("cd image") << s("{VR}\\media\\a.iso") << s("No") << QString() << true << false;
    QTest::newRow("old system cd") << QString() << s("Yes") << QString() << true << false;
    QTest::newRow("system cd lower case") << QString() << s("yes") << QString() << false << false;
    QTest::newRow("hard disk 2") << QString() << QString() << s("c.dsk") << false << true;
}

void TestDriveEditing::cdromAndHardDisk2Exclusion()
{
    QFETCH(QString, cdrom);
    QFETCH(QString, systemCd);
    QFETCH(QString, hdc);
    MemoryVM vm;
    vm.values.insert(s("Drives/CDROM"), cdrom);
    vm.values.insert(s("Drives/Use System CD"), systemCd);
    vm.values.insert(s("Drives/HDC"), hdc);
    QTEST(CdromInUse(vm), "cdInUse");
    QTEST(HardDisk2InUse(vm), "hdcInUse");
}

void TestDriveEditing::removals()
{
    MemoryVM vm;
    QVERIFY(RemoveCdrom(vm));
    QVERIFY(RemoveHardDisk2(vm));
    QCOMPARE(vm.writes, list({"Drives/Use System CD=No", "Drives/CDROM=", "Drives/HDC=",
                              "Drives/HDCEnc=No", "Drives/HDCSCSI=No"}));
    QCOMPARE(CdromInUseQuestion(), s("You have a CDROM image/drive configured, if you wish to "
                                     "continue this must be removed - continue ?"));
    QCOMPARE(HardDisk2InUseQuestion(), s("You have Hard Disk 2 drive configured, if you wish to "
                                         "continue this must be removed - continue ?"));
}

void TestDriveEditing::mediaSaveResetsOldSwitches_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("floppy 0 resets USePCFloppy")
        << 18 << s("A:") << list({"Drives/USePCFloppy=No", "Drives/FloppyA=A:"});
    QTest::newRow("floppy 0 emptied keeps USePCFloppy")
        << 18 << QString() << list({"Drives/FloppyA="});
    QTest::newRow("floppy 1 never touches USePCFloppy")
        << 36 << s("b.img") << list({"Drives/FloppyB=b.img"});
    QTest::newRow("cd resets Use System CD")
        << 39 << s("{VR}\\media\\x.iso")
        << list({"Drives/Use System CD=No", "Drives/CDROM={VR}\\media\\x.iso"});
    QTest::newRow("cd emptied keeps Use System CD") << 39 << QString() << list({"Drives/CDROM="});
}

void TestDriveEditing::mediaSaveResetsOldSwitches()
{
    QFETCH(int, icon);
    QFETCH(QString, value);
    MemoryVM vm;
    vm.set("Drives/USePCFloppy", "Yes");
    vm.set("Drives/Use System CD", "Yes");
    QVERIFY(SaveMedia(vm, *MediaRowOf(icon), value));
    QTEST(vm.writes, "writes");

    // A switch already off is left alone.
    MemoryVM off;
    off.set("Drives/USePCFloppy", "No");
    off.set("Drives/Use System CD", "No");
    QVERIFY(SaveMedia(off, *MediaRowOf(icon), value));
    QCOMPARE(off.writes.size(), 1);
}

void TestDriveEditing::bootOrderWindowFollowsVersionCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("order");
    QTest::newRow("0.12 and above") << s("0") << true;
    QTest::newRow("0.11") << s("1") << true;
    QTest::newRow("0.10") << s("2") << false;
    QTest::newRow("unknown version") << QString() << false;
    QTest::newRow("padded") << s(" 0") << false;
}

void TestDriveEditing::bootOrderWindowFollowsVersionCode()
{
    QFETCH(QString, code);
    QTEST(UsesBootOrder(code), "order");
}

void TestDriveEditing::bootOrderSplit_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QStringList>("available");
    QTest::newRow("empty") << QString() << QStringList()
                           << list({"CD/DVD Drive", "Floppy Drive", "Hard Drive", "Network"});
    QTest::newRow("two") << s("CD/DVD Drive|Hard Drive") << list({"CD/DVD Drive", "Hard Drive"})
                         << list({"Floppy Drive", "Network"});
    QTest::newRow("stored order kept")
        << s("Network|Floppy Drive|CD/DVD Drive")
        << list({"Network", "Floppy Drive", "CD/DVD Drive"}) << list({"Hard Drive"});
    QTest::newRow("empty pieces dropped")
        << s("|Hard Drive||Network|") << list({"Hard Drive", "Network"})
        << list({"CD/DVD Drive", "Floppy Drive"});
}

void TestDriveEditing::bootOrderSplit()
{
    QFETCH(QString, stored);
    MemoryVM vm;
    vm.values.insert(s("Drives/BootOrder"), stored);
    const BootOrderPreset preset = ReadBootOrder(vm);
    QTEST(preset.order, "order");
    QTEST(preset.available, "available");
    QVERIFY(!preset.bootMenu);
}

void TestDriveEditing::bootOrderRoundTrip()
{
    QCOMPARE(JoinBootOrder(SplitBootOrder(s("CD/DVD Drive|Hard Drive"))),
             s("CD/DVD Drive|Hard Drive"));
    QCOMPARE(JoinBootOrder({}), QString());
    QCOMPARE(JoinBootOrder(list({"Network"})), s("Network"));

    QStringList drives = list({"Network", "Hard Drive", "CD/DVD Drive"});
    SortDrives(drives);
    QCOMPARE(drives, list({"CD/DVD Drive", "Hard Drive", "Network"}));
}

void TestDriveEditing::threeItemLimit()
{
    QVERIFY(CanAddBootItem({}));
    QVERIFY(CanAddBootItem(list({"Hard Drive", "Network"})));
    QVERIFY(!CanAddBootItem(list({"Hard Drive", "Network", "Floppy Drive"})));
    QCOMPARE(TooManyBootItemsWarning(), s("You can only specify 3 boot order items"));
}

void TestDriveEditing::moves_data()
{
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("newRow");
    QTest::addColumn<QStringList>("order");
    const QStringList start = list({"A", "B", "C"});
    QTest::newRow("up on first") << true << 0 << 0 << start;
    QTest::newRow("down on last") << false << 2 << 2 << start;
    QTest::newRow("up on last") << true << 2 << 1 << list({"A", "C", "B"});
    QTest::newRow("down on first") << false << 0 << 1 << list({"B", "A", "C"});
    QTest::newRow("up with nothing selected") << true << -1 << -1 << start;
    QTest::newRow("down with nothing selected") << false << -1 << -1 << start;
    QTest::newRow("down outside the list") << false << 3 << 3 << start;
}

void TestDriveEditing::moves()
{
    QFETCH(bool, up);
    QFETCH(int, row);
    QStringList order = list({"A", "B", "C"});
    const int moved = up ? MoveUp(order, row) : MoveDown(order, row);
    QTEST(moved, "newRow");
    QTEST(order, "order");
}

void TestDriveEditing::bootOrderSave()
{
    MemoryVM vm;
    QVERIFY(SaveBootOrder(vm, list({"CD/DVD Drive", "Hard Drive"}), true));
    QVERIFY(SaveBootOrder(vm, {}, false));
    QCOMPARE(vm.writes, list({"Drives/BootOrder=CD/DVD Drive|Hard Drive", "Drives/Boot Menu=Yes",
                              "Drives/BootOrder=", "Drives/Boot Menu=No"}));
}

void TestDriveEditing::bootDrivePreset_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("position");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("cd") << s("2") << 2;
    QTest::newRow("none") << s("4") << 4;
    QTest::newRow("past the list") << s("5") << 0;
    QTest::newRow("negative") << s("-1") << 0;
    QTest::newRow("not a number") << s("CD-ROM") << 0;
}

void TestDriveEditing::bootDrivePreset()
{
    QFETCH(QString, stored);
    MemoryVM vm;
    vm.values.insert(s("Drives/Boot Drive ID"), stored);
    QTEST(BootDrivePreset(vm), "position");
}

void TestDriveEditing::bootDriveSaveOrder_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("cd") << 2
                        << list({"Drives/Boot Menu=No", "Drives/Boot Drive=CD-ROM",
                                 "Drives/Boot Drive ID=2", "Drives/BootOrder="});
    QTest::newRow("none") << 4
                          << list({"Drives/Boot Menu=No", "Drives/Boot Drive=None",
                                   "Drives/Boot Drive ID=4", "Drives/BootOrder="});
    QTest::newRow("no choice writes nothing") << -1 << QStringList();
}

void TestDriveEditing::bootDriveSaveOrder()
{
    QFETCH(int, position);
    QFETCH(QStringList, writes);
    MemoryVM vm;
    QCOMPARE(SaveBootDrive(vm, position), !writes.isEmpty());
    QCOMPARE(vm.writes, writes);
    QCOMPARE(BootDrives(), list({"Hard Disk", "Floppy Disk", "CD-ROM", "Network", "None"}));
}

void TestDriveEditing::physicalDisks_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("value");
    QTest::newRow("system disk") << s("Disk 0 (System Drive (CAUTION))")
                                 << s("\\\\.\\PhysicalDrive0");
    QTest::newRow("disk 2") << s("Disk 2") << s("\\\\.\\PhysicalDrive2");
    QTest::newRow("disk 12") << s("Disk 12") << s("\\\\.\\PhysicalDrive12");
    QTest::newRow("nothing chosen") << QString() << QString();
    QTest::newRow("no number") << s("Disk ") << QString();
}

void TestDriveEditing::physicalDisks()
{
    QFETCH(QString, entry);
    QTEST(PhysicalDiskValue(entry), "value");
    QCOMPARE(PhysicalDiskEntry(0, HostDrives::DiskUse::System),
             s("Disk 0 (System Drive (CAUTION))"));
    QCOMPARE(PhysicalDiskEntry(2, HostDrives::DiskUse::InUse), s("Disk 2 (In Use)"));
    QCOMPARE(PhysicalDiskEntry(3, HostDrives::DiskUse::Free), s("Disk 3"));
}

void TestDriveEditing::sharedFolders()
{
    QCOMPARE(SharedFolderValue(s("/srv/share"), true), s("fat::rw:/srv/share"));
    QCOMPARE(SharedFolderValue(s("/srv/share"), false), s("fat:/srv/share"));
    QCOMPARE(WritableFolderQuestion(), s("Do you wish to make this folder writable (Caution) ?"));
}

QTEST_GUILESS_MAIN(TestDriveEditing)
#include "tst_driveediting.moc"

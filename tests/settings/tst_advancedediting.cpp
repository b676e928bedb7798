#include "model/ProgramFolder.h"
#include "settings/AdvancedEditing.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace AdvancedEditing;

Q_DECLARE_METATYPE(AdvancedEditing::VMWrites)
Q_DECLARE_METATYPE(AdvancedEditing::Editor)

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

VMWrite w(const char* section, const char* key, const char* value)
{
    return {s(section), s(key), s(value)};
}

} // namespace

namespace AdvancedEditing {
// Lets QCOMPARE name the writes that differ.
char* toString(const VMWrites& writes)
{
    QStringList lines;
    for (const VMWrite& write : writes)
        lines.append(write.section + QLatin1Char('/') + write.key + QStringLiteral("=\"") +
                     write.value + QLatin1Char('"'));
    return qstrdup(lines.join(QStringLiteral(", ")).toUtf8().constData());
}
} // namespace AdvancedEditing

class TestAdvancedEditing final : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();

    void yesNoRows_data();
    void yesNoRows();
    void yesNoQuestions_data();
    void yesNoQuestions();

    void storedPositions_data();
    void storedPositions();

    void keyboard_data();
    void keyboard();

    void affinityChoices();
    void affinityPreset_data();
    void affinityPreset();
    void affinityWrites_data();
    void affinityWrites();

    void qemuShortForm_data();
    void qemuShortForm();
    void imagePathWrites_data();
    void imagePathWrites();

    void dataEntry_data();
    void dataEntry();

    void promStrings_data();
    void promStrings();

    void audioLibraries_data();
    void audioLibraries();

    void startTimePreset_data();
    void startTimePreset();
    void startTimeFormat_data();
    void startTimeFormat();
    void startTimeRoundTrip();

    void kqemuAndPriority_data();
    void kqemuAndPriority();

    void lastRunText_data();
    void lastRunText();

private:
    QTemporaryDir m_folder;
};

void TestAdvancedEditing::dispatch_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<Editor>("editor");
    const QList<int> yesNo = {79, 49, 47, 32, 8, 12, 64, 65, 66, 48, 13, 52, 29};
    for (int icon : yesNo)
        QTest::addRow("yes/no %d", icon) << icon << Editor::YesNo;
    QTest::newRow("keyboard") << 42 << Editor::Keyboard;
    QTest::newRow("affinity") << 58 << Editor::Affinity;
    QTest::newRow("kernel") << 69 << Editor::ImagePath;
    QTest::newRow("initrd") << 70 << Editor::ImagePath;
    for (int icon : {77, 67, 61, 30})
        QTest::addRow("data entry %d", icon) << icon << Editor::DataEntry;
    QTest::newRow("prom") << 78 << Editor::PromEnv;
    QTest::newRow("sound library") << 19 << Editor::AudioLibrary;
    QTest::newRow("start time") << 68 << Editor::StartTime;
    QTest::newRow("kqemu") << 11 << Editor::Kqemu;
    QTest::newRow("priority") << 46 << Editor::Priority;
    QTest::newRow("qemu executable has none") << 54 << Editor::None;
    // Icons of the hardware list mean nothing here.
    QTest::newRow("memory icon") << 2 << Editor::None;
    QTest::newRow("negative") << -1 << Editor::None;
}

void TestAdvancedEditing::dispatch()
{
    QFETCH(int, icon);
    QTEST(editorFor(icon), "editor");
}

void TestAdvancedEditing::yesNoRows_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<VMWrites>("writes");

    QTest::newRow("plain yes") << 47 << s("Yes") << s("Yes") << s("No")
                               << VMWrites{w("Advanced", "SDL", "No")};
    QTest::newRow("flags compare with case")
        << 47 << s("yes") << s("No") << s("Yes") << VMWrites{w("Advanced", "SDL", "Yes")};
    QTest::newRow("absent key") << 8 << QString() << s("No") << s("No")
                                << VMWrites{w("Hardware", "Use Local Time", "No")};
    // "Start CPU on VM Launch ?" asks the opposite of "Do Not Start CPU".
    QTest::newRow("start cpu stored no") << 32 << s("No") << s("Yes") << s("No")
                                         << VMWrites{w("Hardware", "Do Not Start CPU", "Yes")};
    QTest::newRow("start cpu stored yes") << 32 << s("Yes") << s("No") << s("Yes")
                                          << VMWrites{w("Hardware", "Do Not Start CPU", "No")};
    QTest::newRow("start cpu absent") << 32 << QString() << s("Yes") << s("Yes")
                                      << VMWrites{w("Hardware", "Do Not Start CPU", "No")};
    QTest::newRow("debug yes leaves the window")
        << 52 << s("No") << s("No") << s("Yes")
        << VMWrites{w("Advanced", "Debug", "Yes"), w("Hardware", "Vimor Client", "No")};
    QTest::newRow("debug no") << 52 << s("Yes") << s("Yes") << s("No")
                              << VMWrites{w("Advanced", "Debug", "No")};
}

void TestAdvancedEditing::yesNoRows()
{
    QFETCH(int, icon);
    QFETCH(QString, stored);
    QFETCH(QString, answer);
    const auto row = yesNoRow(icon);
    QVERIFY(row);
    QTEST(yesNoPreset(*row, stored), "preset");
    QTEST(yesNoWrites(*row, answer), "writes");
}

void TestAdvancedEditing::yesNoQuestions_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    const auto row = [](const char* name, int icon, const char* question, const char* section,
                        const char* key) {
        QTest::newRow(name) << icon << s(question) << s(section) << s(key);
    };
    row("semihosting", 79, "Enable Semihosting syscall emulation ?", "Hardware", "semihosting");
    row("no reboot", 49, "Close VM on Reboot ?", "Advanced", "NoReboot");
    row("sdl", 47, "Enable SDL Graphics ?", "Advanced", "SDL");
    row("start cpu", 32, "Start CPU on VM Launch ?", "Hardware", "Do Not Start CPU");
    row("local time", 8, "User Local Time ?", "Hardware", "Use Local Time");
    row("win2k", 12, "Enable Windows 2000 Installation Hack ?", "Hardware", "Enable WIN2K Hack");
    row("hal", 64, "Enable ACPI HAL Time Drift Hack ?", "Advanced", "Enable HAL Hack");
    row("boot signature", 65, "Disable Boot Signature Checking ?", "Advanced",
        "Disable Boot Signature");
    row("hpet", 66, "Disable HPET ?", "Advanced", "Disable HPET");
    row("acpi", 48, "Disable ACPI Support ?", "Advanced", "ACPI");
    row("do not apply", 13, "Do NOT apply session changes ?", "Hardware", "Do Not Apply");
    row("debug", 52, "Run VM In Debug Mode ?", "Advanced", "Debug");
    row("override all", 29, "Override all VM Settings ?", "Advanced", "OverrideAll");
}

void TestAdvancedEditing::yesNoQuestions()
{
    QFETCH(int, icon);
    const auto row = yesNoRow(icon);
    QVERIFY(row);
    QTEST(row->question, "question");
    QTEST(row->key.section, "section");
    QTEST(row->key.key, "key");
}

void TestAdvancedEditing::storedPositions_data()
{
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    // Items "a", "b", "c"; whenEmpty 0.
    QTest::newRow("empty") << QString() << s("c") << 0;
    QTest::newRow("first") << s("0") << QString() << 0;
    QTest::newRow("last") << s("2") << s("a") << 2;
    QTest::newRow("number wins over text") << s("1") << s("c") << 1;
    QTest::newRow("blanks around") << s(" 2 ") << QString() << 2;
    QTest::newRow("one past the end") << s("3") << s("a") << -1;
    QTest::newRow("minus one") << s("-1") << s("a") << -1;
    QTest::newRow("not a number, text found") << s("two") << s("c") << 2;
    QTest::newRow("not a number, text unknown") << s("two") << s("z") << 0;
    QTest::newRow("not a number, no text") << s("1.5") << QString() << 0;
    QTest::newRow("hexadecimal is not a number") << s("0x1") << s("b") << 1;
}

void TestAdvancedEditing::storedPositions()
{
    QFETCH(QString, position);
    QFETCH(QString, text);
    QTEST(presetPosition({s("a"), s("b"), s("c")}, position, text, 0), "expected");
}

void TestAdvancedEditing::keyboard_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("position");
    QTest::addColumn<VMWrites>("writes");
    QTest::newRow("template en-us")
        << s("5") << s("en-us") << 5
        << VMWrites{w("Hardware", "Keyboard", "en-us"), w("Hardware", "KeyboardIndex", "5")};
    QTest::newRow("stored code keeps its blank")
        << s("3") << s("de-ch ") << 3
        << VMWrites{w("Hardware", "Keyboard", "de-ch "), w("Hardware", "KeyboardIndex", "3")};
    QTest::newRow("last code") << s("32") << s("tr") << 32
                               << VMWrites{w("Hardware", "Keyboard", "tr"),
                                           w("Hardware", "KeyboardIndex", "32")};
    QTest::newRow("no index, no selection")
        << QString() << s("fr") << -1
        << VMWrites{w("Hardware", "Keyboard", ""), w("Hardware", "KeyboardIndex", "-1")};
    QTest::newRow("index past the list")
        << s("33") << s("fr") << -1
        << VMWrites{w("Hardware", "Keyboard", ""), w("Hardware", "KeyboardIndex", "-1")};
    QTest::newRow("index not a number, code known")
        << s("five") << s("fr") << 10
        << VMWrites{w("Hardware", "Keyboard", "fr"), w("Hardware", "KeyboardIndex", "10")};
}

void TestAdvancedEditing::keyboard()
{
    QFETCH(QString, index);
    QFETCH(QString, code);
    QFETCH(int, position);
    QCOMPARE(KeyboardLayouts().size(), 33);
    QCOMPARE(keyboardPreset(index, code), position);
    QTEST(keyboardWrites(position), "writes");
}

void TestAdvancedEditing::affinityChoices()
{
    QCOMPARE(AdvancedEditing::affinityChoices(4),
             (QStringList{s("Disabled"), s("CPU 0"), s("CPU 1"), s("CPU 2"), s("CPU 3")}));
    QCOMPARE(AdvancedEditing::affinityChoices(1), (QStringList{s("Disabled"), s("CPU 0")}));
    QVERIFY(!affinityCanBeSet(0));
    QVERIFY(!affinityCanBeSet(1));
    QVERIFY(affinityCanBeSet(2));
}

void TestAdvancedEditing::affinityPreset_data()
{
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<QString>("affinity");
    QTest::addColumn<int>("position");
    // A host of four processors.
    QTest::newRow("empty is disabled") << QString() << s("Disabled") << 0;
    QTest::newRow("processor 0") << s("1") << s("CPU 0") << 1;
    QTest::newRow("last processor") << s("4") << s("CPU 3") << 4;
    QTest::newRow("one past the host") << s("5") << s("CPU 4") << -1;
    QTest::newRow("nine") << s("9") << s("CPU 8") << -1;
    QTest::newRow("not a number, text known") << s("x") << s("CPU 2") << 3;
    QTest::newRow("not a number, text unknown") << s("x") << s("CPU 7") << 0;
}

void TestAdvancedEditing::affinityPreset()
{
    QFETCH(QString, cpu);
    QFETCH(QString, affinity);
    QTEST(AdvancedEditing::affinityPreset(cpu, affinity, 4), "position");
}

void TestAdvancedEditing::affinityWrites_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<VMWrites>("writes");
    QTest::newRow("disabled") << 0
                              << VMWrites{w("Advanced", "AffinityCPU", ""),
                                          w("Advanced", "Affinity", "Disabled")};
    QTest::newRow("processor 0 is stored as 1")
        << 1 << VMWrites{w("Advanced", "AffinityCPU", "1"), w("Advanced", "Affinity", "CPU 0")};
    QTest::newRow("processor 2") << 3
                                 << VMWrites{w("Advanced", "AffinityCPU", "3"),
                                             w("Advanced", "Affinity", "CPU 2")};
    QTest::newRow("no selection") << -1
                                  << VMWrites{w("Advanced", "AffinityCPU", "-1"),
                                              w("Advanced", "Affinity", "")};
}

void TestAdvancedEditing::affinityWrites()
{
    QFETCH(int, position);
    QTEST(AdvancedEditing::affinityWrites(AdvancedEditing::affinityChoices(4), position), "writes");
}

void TestAdvancedEditing::qemuShortForm_data()
{
    QVERIFY(m_folder.isValid());
    ProgramFolder::setPath(m_folder.path());
    const QString root = m_folder.path();
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("stored");
    QTest::newRow("in the qemu folder") << root + s("/qemu/bios.bin") << s("{VR}\\qemu\\bios.bin");
    QTest::newRow("folder compared without case")
        << root + s("/QEMU/vmlinuz") << s("{VR}\\qemu\\vmlinuz");
    QTest::newRow("dotted path") << root + s("/media/../qemu/pc.bin") << s("{VR}\\qemu\\pc.bin");
    QTest::newRow("below the qemu folder")
        << root + s("/qemu/pc-bios/x.bin") << root + s("/qemu/pc-bios/x.bin");
    QTest::newRow("similar folder") << root + s("/qemu2/x.bin") << root + s("/qemu2/x.bin");
    QTest::newRow("program folder itself") << root + s("/x.bin") << root + s("/x.bin");
    QTest::newRow("elsewhere") << s("/boot/vmlinuz") << s("/boot/vmlinuz");
    QTest::newRow("nothing") << QString() << QString();
}

void TestAdvancedEditing::qemuShortForm()
{
    QFETCH(QString, file);
    QTEST(qemuFolderShortForm(file), "stored");
}

void TestAdvancedEditing::imagePathWrites_data()
{
    QVERIFY(m_folder.isValid());
    ProgramFolder::setPath(m_folder.path());
    const QString inQemu = m_folder.path() + s("/qemu/vmlinuz");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<VMWrites>("writes");
    QTest::newRow("typed by hand") << 69 << s(" C:\\Kernels\\my kernel ") << QString()
                                   << VMWrites{w("Hardware", "Kernel", " C:\\Kernels\\my kernel ")};
    QTest::newRow("typed path in the qemu folder stays typed")
        << 69 << inQemu << QString() << VMWrites{{s("Hardware"), s("Kernel"), inQemu}};
    QTest::newRow("chosen in the qemu folder")
        << 69 << inQemu << inQemu << VMWrites{w("Hardware", "Kernel", "{VR}\\qemu\\vmlinuz")};
    QTest::newRow("chosen elsewhere") << 70 << s("/boot/initrd.img") << s("/boot/initrd.img")
                                      << VMWrites{w("Hardware", "initrd", "/boot/initrd.img")};
    QTest::newRow("typed over a chosen file")
        << 70 << s("/boot/other.img") << inQemu
        << VMWrites{w("Hardware", "initrd", "/boot/other.img")};
    QTest::newRow("emptied after choosing")
        << 69 << QString() << inQemu << VMWrites{w("Hardware", "Kernel", "")};
}

void TestAdvancedEditing::imagePathWrites()
{
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(QString, chosen);
    const auto use = imagePathUse(icon);
    QVERIFY(use);
    QTEST(AdvancedEditing::imagePathWrites(*use, text, chosen), "writes");
}

void TestAdvancedEditing::dataEntry_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<VMWrites>("writes");
    QTest::newRow("window title absent") << 61 << QString() << s("{VM NAME}") << s("{VM NAME}")
                                         << VMWrites{w("General", "Window Title", "{VM NAME}")};
    QTest::newRow("window title emptied")
        << 61 << s("Mine") << s("Mine") << QString() << VMWrites{w("General", "Window Title", "")};
    QTest::newRow("bios emptied") << 67 << s("{VR}\\qemu\\bios.bin") << s("{VR}\\qemu\\bios.bin")
                                  << QString() << VMWrites{w("Advanced", "Bios", "Default")};
    QTest::newRow("bios blank is kept")
        << 67 << s("Default") << s("Default") << s(" ") << VMWrites{w("Advanced", "Bios", " ")};
    QTest::newRow("parameters emptied") << 30 << s("-no-hpet") << s("-no-hpet") << QString()
                                        << VMWrites{w("Advanced", "OptionalString", "")};
    QTest::newRow("append") << 77 << QString() << QString() << s("console=ttyS0 root=/dev/sda1")
                            << VMWrites{w("Hardware", "Append", "console=ttyS0 root=/dev/sda1")};
}

void TestAdvancedEditing::dataEntry()
{
    QFETCH(int, icon);
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    const auto use = dataEntryUse(icon);
    QVERIFY(use);
    QTEST(dataEntryPreset(*use, stored), "preset");
    QTEST(dataEntryWrites(*use, typed), "writes");
}

void TestAdvancedEditing::promStrings_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("written");
    QTest::newRow("three") << s("a=1|b=2|c=3") << QStringList{s("a=1"), s("b=2"), s("c=3")}
                           << s("a=1|b=2|c=3");
    QTest::newRow("empty pieces left out")
        << s("|a||b|") << QStringList{s("a"), s("b")} << s("a|b");
    QTest::newRow("blanks are pieces")
        << s("a| |b") << QStringList{s("a"), s(" "), s("b")} << s("a| |b");
    QTest::newRow("none") << QString() << QStringList{} << QString();
    QTest::newRow("bars only") << s("||") << QStringList{} << QString();
}

void TestAdvancedEditing::promStrings()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, items);
    QFETCH(QString, written);
    QCOMPARE(splitPromStrings(stored), items);
    QCOMPARE(promEnvWrites(items), (VMWrites{{s("Hardware"), s("PromEnv"), written}}));
}

void TestAdvancedEditing::audioLibraries_data()
{
    QTest::addColumn<bool>("fmod");
    QTest::addColumn<QString>("aoid");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("position");
    QTest::addColumn<VMWrites>("writes");
    QTest::newRow("template") << false << s("0") << s("Direct Sound") << 0
                              << VMWrites{w("Advanced", "Audio Output", "Direct Sound"),
                                          w("Advanced", "AOID", "0"),
                                          w("Advanced", "AOItem", "dsound")};
    QTest::newRow("none without fmod is 3")
        << false << s("3") << s("None") << 3
        << VMWrites{w("Advanced", "Audio Output", "None"), w("Advanced", "AOID", "3"),
                    w("Advanced", "AOItem", "none")};
    QTest::newRow("none with fmod is 4")
        << true << s("4") << s("None") << 4
        << VMWrites{w("Advanced", "Audio Output", "None"), w("Advanced", "AOID", "4"),
                    w("Advanced", "AOItem", "none")};
    QTest::newRow("fmod") << true << s("3") << s("FMOD") << 3
                          << VMWrites{w("Advanced", "Audio Output", "FMOD"),
                                      w("Advanced", "AOID", "3"), w("Advanced", "AOItem", "fmod")};
    QTest::newRow("4 without fmod selects nothing")
        << false << s("4") << s("None") << -1
        << VMWrites{w("Advanced", "Audio Output", ""), w("Advanced", "AOID", "-1"),
                    w("Advanced", "AOItem", "")};
    QTest::newRow("empty selects the first")
        << false << QString() << s("SDL") << 0
        << VMWrites{w("Advanced", "Audio Output", "Direct Sound"), w("Advanced", "AOID", "0"),
                    w("Advanced", "AOItem", "dsound")};
    QTest::newRow("not a number, text known")
        << false << s("x") << s("Wave Renderer") << 2
        << VMWrites{w("Advanced", "Audio Output", "Wave Renderer"), w("Advanced", "AOID", "2"),
                    w("Advanced", "AOItem", "wav")};
}

void TestAdvancedEditing::audioLibraries()
{
    QFETCH(bool, fmod);
    QFETCH(QString, aoid);
    QFETCH(QString, output);
    QFETCH(int, position);
    const ChoiceList libraries = AdvancedEditing::audioLibraries(fmod);
    QCOMPARE(libraries.size(), fmod ? 5 : 4);
    QCOMPARE(libraries.first(), (ChoiceRow{s("Direct Sound"), s("dsound")}));
    QCOMPARE(libraries.last(), (ChoiceRow{s("None"), s("none")}));
    QCOMPARE(audioLibraryPreset(libraries, aoid, output), position);
    QTEST(audioLibraryWrites(libraries, position), "writes");
}

void TestAdvancedEditing::startTimePreset_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDate>("date"); // invalid: the picker keeps its date
    QTest::addColumn<int>("hour");
    const QDate today(2024, 5, 17);
    QTest::newRow("now") << s("Now") << today << 6;
    QTest::newRow("now with case") << s("now") << QDate() << 6;
    QTest::newRow("empty") << QString() << QDate() << 6;
    QTest::newRow("stored form") << s("2009-03-07T6:00:00") << QDate(2009, 3, 7) << 6;
    QTest::newRow("evening") << s("2009-12-25T18:00:00") << QDate(2009, 12, 25) << 18;
    QTest::newRow("midnight") << s("2010-01-01T0:00:00") << QDate(2010, 1, 1) << 0;
    QTest::newRow("leading zero hour") << s("2010-01-01T07:00:00") << QDate(2010, 1, 1) << 7;
    QTest::newRow("no date form") << s("2009-3-7T5:00:00") << QDate() << 5;
    QTest::newRow("no such day") << s("2009-02-30T5:00:00") << QDate() << 5;
    QTest::newRow("hour too large") << s("2009-03-07T24:00:00") << QDate(2009, 3, 7) << 6;
    QTest::newRow("hour not digits") << s("2009-03-07Tx:00:00") << QDate(2009, 3, 7) << 6;
    QTest::newRow("nothing after T") << s("2009-03-07T") << QDate(2009, 3, 7) << 6;
    QTest::newRow("a word with T") << s("Tomorrow") << QDate() << 6;
}

void TestAdvancedEditing::startTimePreset()
{
    QFETCH(QString, stored);
    QFETCH(QDate, date);
    const StartTimePreset preset = AdvancedEditing::startTimePreset(stored, QDate(2024, 5, 17));
    QCOMPARE(preset.date.value_or(QDate()), date);
    QTEST(preset.hour, "hour");
}

void TestAdvancedEditing::startTimeFormat_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("hour");
    QTest::addColumn<QString>("stored");
    QTest::newRow("morning") << QDate(2009, 3, 7) << 6 << s("2009-03-07T6:00:00");
    QTest::newRow("christmas evening") << QDate(2009, 12, 25) << 18 << s("2009-12-25T18:00:00");
    QTest::newRow("midnight") << QDate(2000, 1, 1) << 0 << s("2000-01-01T0:00:00");
    QTest::newRow("short year") << QDate(999, 7, 1) << 23 << s("0999-07-01T23:00:00");
}

void TestAdvancedEditing::startTimeFormat()
{
    QFETCH(QDate, date);
    QFETCH(int, hour);
    QTEST(formatStartTime(date, hour), "stored");
    QFETCH(QString, stored);
    QCOMPARE(startTimeWrites(date, hour), (VMWrites{{s("Advanced"), s("Start Time"), stored}}));
}

void TestAdvancedEditing::startTimeRoundTrip()
{
    QCOMPARE(startHours().size(), 24);
    QCOMPARE(startHours().first(), s("00:00"));
    QCOMPARE(startHours().at(18), s("18:00"));
    QCOMPARE(startHours().last(), s("23:00"));
    for (const QDate& date : {QDate(2009, 3, 7), QDate(2012, 2, 29), QDate(1999, 12, 31)}) {
        for (int hour = 0; hour < 24; ++hour) {
            const StartTimePreset preset =
                AdvancedEditing::startTimePreset(formatStartTime(date, hour), QDate(2024, 1, 1));
            QCOMPARE(preset.date.value_or(QDate()), date);
            QCOMPARE(preset.hour, hour);
        }
    }
}

void TestAdvancedEditing::kqemuAndPriority_data()
{
    QTest::addColumn<bool>("kqemu");
    QTest::addColumn<QString>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<VMWrites>("writes");
    QTest::newRow("kqemu empty is disabled")
        << true << QString() << QString() << 0
        << VMWrites{w("Advanced", "KQEMU", "Disabled"), w("Advanced", "KQEMUID", "0")};
    QTest::newRow("kqemu full") << true << s("2") << s("Full Acceleration") << 2
                                << VMWrites{w("Advanced", "KQEMU", "Full Acceleration"),
                                            w("Advanced", "KQEMUID", "2")};
    QTest::newRow("kqemu out of range")
        << true << s("3") << s("User Mode") << -1
        << VMWrites{w("Advanced", "KQEMU", ""), w("Advanced", "KQEMUID", "-1")};
    QTest::newRow("kqemu not a number")
        << true << s("one") << s("User Mode") << 1
        << VMWrites{w("Advanced", "KQEMU", "User Mode"), w("Advanced", "KQEMUID", "1")};
    QTest::newRow("priority empty selects nothing")
        << false << QString() << s("Normal") << -1
        << VMWrites{w("Advanced", "Process", ""), w("Advanced", "ProcessIndex", "-1")};
    QTest::newRow("priority template")
        << false << s("1") << s("Normal") << 1
        << VMWrites{w("Advanced", "Process", "Normal"), w("Advanced", "ProcessIndex", "1")};
    QTest::newRow("priority realtime")
        << false << s("3") << s("Realtime") << 3
        << VMWrites{w("Advanced", "Process", "Realtime"), w("Advanced", "ProcessIndex", "3")};
    QTest::newRow("priority not a number")
        << false << s("high") << s("High") << 2
        << VMWrites{w("Advanced", "Process", "High"), w("Advanced", "ProcessIndex", "2")};
    QTest::newRow("priority not a number, text unknown")
        << false << s("high") << s("Urgent") << -1
        << VMWrites{w("Advanced", "Process", ""), w("Advanced", "ProcessIndex", "-1")};
}

void TestAdvancedEditing::kqemuAndPriority()
{
    QFETCH(bool, kqemu);
    QFETCH(QString, index);
    QFETCH(QString, text);
    QFETCH(int, position);
    QCOMPARE(kqemu ? kqemuPreset(index, text) : priorityPreset(index, text), position);
    QTEST(kqemu ? kqemuWrites(position) : priorityWrites(position), "writes");
}

void TestAdvancedEditing::lastRunText_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("text");
    QTest::newRow("before any launch") << QString() << QString() << s(" ");
    QTest::newRow("launch") << s("/opt/vimor/qemu/0.12/qemu.exe") << s("-m 128 -hda \"a b.img\"")
                            << s("\"/opt/vimor/qemu/0.12/qemu.exe\" -m 128 -hda \"a b.img\"");
    QTest::newRow("no arguments") << s("C:\\Program Files\\qemu.exe") << QString()
                                  << s("\"C:\\Program Files\\qemu.exe\" ");
}

void TestAdvancedEditing::lastRunText()
{
    QFETCH(QString, executable);
    QFETCH(QString, arguments);
    QTEST(AdvancedEditing::lastRunText({executable, arguments}), "text");
}

QTEST_GUILESS_MAIN(TestAdvancedEditing)
#include "tst_advancedediting.moc"

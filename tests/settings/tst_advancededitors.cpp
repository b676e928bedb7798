#include "app/ui/TMain.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Host.h"
#include "platform/ui/Interaction.h"
#include "settings/ui/AdvancedChoiceDialog.h"
#include "settings/ui/AdvancedEditors.h"
#include "settings/ui/DataEntryDialog.h"
#include "settings/ui/ImagePathDialog.h"
#include "settings/ui/LastRunWindow.h"
#include "settings/ui/PromEnvDialog.h"
#include "settings/ui/StartDateDialog.h"
#include "settings/ui/YesNoDialog.h"
#include "support/TempProgramFolder.h"

#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <tuple>

namespace {

using Keys = QList<std::tuple<QString, QString, QString>>;

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

std::tuple<QString, QString, QString> key(const char* section, const char* name, const char* value)
{
    return {s(section), s(name), s(value)};
}

// An x86 VM shown in QEMU's own window, of the version "plain" (no FMOD).
const Keys BaseVM = {
    key("General", "Arc", "x86"),
    key("General", "Qemu Version", "Plain QEMU"),
    key("General", "Qemu Version ID", "plain"),
    key("General", "VM Store ID", "0"),
    key("Hardware", "OutputID", "1"),
    key("Hardware", "Output", "QEMU Window"),
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList comboItems(const QComboBox* list)
{
    QStringList items;
    for (int row = 0; row < list->count(); ++row)
        items.append(list->itemText(row));
    return items;
}

} // namespace

class TestAdvancedEditors final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void yesNoRows_data();
    void yesNoRows();
    void keyboard();
    void affinityOnFourProcessors_data();
    void affinityOnFourProcessors();
    void affinityOnOneProcessor();
    void imagePath_data();
    void imagePath();
    void biosFile_data();
    void biosFile();
    void optionalButtonsFollowTheUse();
    void windowTitle();
    void promStrings();
    void promStringsAddAndClick();
    void audioLibrary_data();
    void audioLibrary();
    void startTime();
    void startTimeKeepsTheLastDate();
    void kqemuAndPriority_data();
    void kqemuAndPriority();
    void okWithoutChangesKeepsTheValues_data();
    void okWithoutChangesKeepsTheValues();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void rowsWithoutEditor();
    void nothingSelected();
    void failedWriteStopsTheSequence();
    void lastRunWindow();

private:
    void start(const Keys& extra = {});
    QString read(const char* section, const char* name) const;
    // Scripts the next dialog: it must be of the given class; fn sets its controls and answers.
    template <typename Dialog, typename Fn>
    void answer(Fn fn);
    void edit(int icon) { m_editors->edit(icon); }

    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<AdvancedEditors> m_editors;
    QString m_vm;
    QStringList m_wrongDialogs;
};

void TestAdvancedEditors::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_vm = m_folder->file(s("VMs/test.vm2"));
    m_wrongDialogs.clear();

    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    for (const auto& [id, fmod] : {std::pair{"plain", "No"}, std::pair{"fmod", "Yes"}}) {
        versions.insert();
        versions.setFieldValue(s("ID"), s(id));
        versions.setFieldValue(s("DESC"), s(id) + s(" QEMU"));
        versions.setFieldValue(s("FMOD"), s(fmod));
        versions.setFieldValue(s("DEFAULT"), s("No"));
        QVERIFY(versions.post());
    }
}

void TestAdvancedEditors::cleanup()
{
    QVERIFY2(m_wrongDialogs.isEmpty(), qPrintable(m_wrongDialogs.join(s(", "))));
    m_editors.reset();
    m_window.reset();
    m_folder.reset();
    Host::overrideProcessorCount(0);
}

void TestAdvancedEditors::start(const Keys& extra)
{
    QVERIFY(WriteVMTemplate(m_vm, true));
    for (const auto& [section, name, value] : BaseVM + extra)
        QVERIFY(WriteVMFileValue(m_vm, section, name, value));
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
    m_editors = std::make_unique<AdvancedEditors>(*m_window, m_window.get());
    m_script->clear();
}

QString TestAdvancedEditors::read(const char* section, const char* name) const
{
    return ReadVMFileValue(m_vm, s(section), s(name));
}

template <typename Dialog, typename Fn>
void TestAdvancedEditors::answer(Fn fn)
{
    m_script->answerDialog([this, fn](QDialog& dialog) {
        auto* typed = qobject_cast<Dialog*>(&dialog);
        if (!typed) {
            m_wrongDialogs.append(dialog.windowTitle());
            return int(QDialog::Rejected);
        }
        return int(fn(*typed));
    });
}

void TestAdvancedEditors::yesNoRows_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("vimorClient");

    QTest::newRow("start cpu asks the opposite")
        << 32 << Keys{key("Hardware", "Do Not Start CPU", "No")} << s("Start CPU on VM Launch ?")
        << s("Yes") << s("No") << s("Hardware") << s("Do Not Start CPU") << s("Yes") << s("Yes");
    QTest::newRow("start cpu stored yes")
        << 32 << Keys{key("Hardware", "Do Not Start CPU", "Yes")} << s("Start CPU on VM Launch ?")
        << s("No") << s("Yes") << s("Hardware") << s("Do Not Start CPU") << s("No") << s("Yes");
    QTest::newRow("debug yes leaves the window")
        << 52 << Keys{} << s("Run VM In Debug Mode ?") << s("No") << s("Yes") << s("Advanced")
        << s("Debug") << s("Yes") << s("No");
    QTest::newRow("debug no keeps the client")
        << 52 << Keys{key("Advanced", "Debug", "Yes")} << s("Run VM In Debug Mode ?") << s("Yes")
        << s("No") << s("Advanced") << s("Debug") << s("No") << s("Yes");
    QTest::newRow("local time") << 8 << Keys{} << s("User Local Time ?") << s("Yes") << s("No")
                                << s("Hardware") << s("Use Local Time") << s("No") << s("Yes");
    QTest::newRow("semihosting absent")
        << 79 << Keys{} << s("Enable Semihosting syscall emulation ?") << s("No") << s("Yes")
        << s("Hardware") << s("semihosting") << s("Yes") << s("Yes");
    QTest::newRow("override all") << 29 << Keys{} << s("Override all VM Settings ?") << s("No")
                                  << s("Yes") << s("Advanced") << s("OverrideAll") << s("Yes")
                                  << s("Yes");
}

void TestAdvancedEditors::yesNoRows()
{
    QFETCH(int, icon);
    QFETCH(Keys, stored);
    QFETCH(QString, answer);
    QFETCH(QString, section);
    QFETCH(QString, key);
    start(stored + Keys{::key("Hardware", "Vimor Client", "Yes")});
    QString question;
    QString shown;
    this->answer<YesNoDialog>([&](YesNoDialog& dialog) {
        question = dialog.question();
        shown = dialog.answer();
        dialog.list()->setCurrentText(answer);
        return QDialog::Accepted;
    });
    edit(icon);
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().first().title, s("Select"));
    QTEST(question, "question");
    QTEST(shown, "shown");
    QTEST(ReadVMFileValue(m_vm, section, key), "written");
    QTEST(read("Hardware", "Vimor Client"), "vimorClient");
}

void TestAdvancedEditors::keyboard()
{
    start();
    QStringList items;
    QString preset;
    QString frame;
    answer<AdvancedChoiceDialog>([&](AdvancedChoiceDialog& dialog) {
        items = comboItems(dialog.list());
        preset = dialog.selectedText();
        frame = dialog.findChild<QGroupBox*>()->title();
        dialog.list()->setCurrentIndex(3);
        return QDialog::Accepted;
    });
    edit(42);
    QCOMPARE(m_script->shown().first().title, s("Keyboard Language"));
    QCOMPARE(frame, s("Keyboard"));
    QCOMPARE(items, KeyboardLayouts());
    QCOMPARE(preset, s("en-us")); // the template's position 5
    QCOMPARE(read("Hardware", "Keyboard"), s("de-ch "));
    QCOMPARE(read("Hardware", "KeyboardIndex"), s("3"));
}

void TestAdvancedEditors::affinityOnFourProcessors_data()
{
    QTest::addColumn<QString>("storedCpu");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("choose");
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<QString>("affinity");
    QTest::newRow("disabled to processor 2")
        << QString() << s("Disabled") << 3 << s("3") << s("CPU 2");
    QTest::newRow("processor 0 back to disabled")
        << s("1") << s("CPU 0") << 0 << QString() << s("Disabled");
    QTest::newRow("nine opens with no selection")
        << s("9") << QString() << 4 << s("4") << s("CPU 3");
}

void TestAdvancedEditors::affinityOnFourProcessors()
{
    QFETCH(QString, storedCpu);
    QFETCH(int, choose);
    Host::overrideProcessorCount(4);
    start({{s("Advanced"), s("AffinityCPU"), storedCpu}});
    QStringList items;
    QString preset;
    QString label;
    answer<AdvancedChoiceDialog>([&](AdvancedChoiceDialog& dialog) {
        items = comboItems(dialog.list());
        preset = dialog.selectedText();
        label = dialog.label();
        dialog.list()->setCurrentIndex(choose);
        return QDialog::Accepted;
    });
    edit(58);
    QCOMPARE(m_script->shown().first().title, s("CPU Affinity"));
    QCOMPARE(label, s("Run the Virtual Machine on the following CPU:"));
    QCOMPARE(items, (QStringList{s("Disabled"), s("CPU 0"), s("CPU 1"), s("CPU 2"), s("CPU 3")}));
    QTEST(preset, "preset");
    QTEST(read("Advanced", "AffinityCPU"), "cpu");
    QTEST(read("Advanced", "Affinity"), "affinity");
}

void TestAdvancedEditors::affinityOnOneProcessor()
{
    Host::overrideProcessorCount(1);
    start();
    const QByteArray before = fileBytes(m_vm);
    edit(58);
    // The error box alone: the dialog never opens.
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().first().kind, s("error"));
    QCOMPARE(m_script->shown().first().text,
             s("This computer has only 1 CPU and therefore affinity cannot be set"));
    QCOMPARE(fileBytes(m_vm), before);
}

void TestAdvancedEditors::imagePath_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("typed");  // empty: use ".."
    QTest::addColumn<QString>("chosen"); // relative to the program folder, or absolute
    QTest::addColumn<QString>("stored");
    QTest::newRow("kernel in the qemu folder")
        << 69 << s("Kernel Image:") << QString() << s("qemu/vmlinuz") << s("{VR}\\qemu\\vmlinuz");
    QTest::newRow("initrd in the qemu folder") << 70 << s("Initrd Image:") << QString()
                                               << s("qemu/initrd.gz") << s("{VR}\\qemu\\initrd.gz");
    QTest::newRow("kernel outside") << 69 << s("Kernel Image:") << QString()
                                    << s("/boot/vmlinuz-test") << s("/boot/vmlinuz-test");
    QTest::newRow("kernel typed by hand") << 69 << s("Kernel Image:") << s("C:\\My Kernels\\bz ")
                                          << QString() << s("C:\\My Kernels\\bz ");
}

void TestAdvancedEditors::imagePath()
{
    QFETCH(int, icon);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    start({key("Hardware", "Kernel", "old kernel"), key("Hardware", "Initrd", "old initrd")});
    const QString chosenPath =
        chosen.startsWith(QLatin1Char('/')) || chosen.isEmpty() ? chosen : m_folder->file(chosen);
    QString preset;
    QString label;
    QString hint;
    QString boxAfterBrowse;
    answer<ImagePathDialog>([&](ImagePathDialog& dialog) {
        preset = dialog.text();
        label = dialog.label();
        hint = dialog.browseButton()->toolTip();
        if (typed.isEmpty()) {
            m_script->answerText(chosenPath);
            dialog.browseButton()->click();
            boxAfterBrowse = dialog.text();
        } else {
            dialog.pathBox()->setText(typed);
        }
        return QDialog::Accepted;
    });
    edit(icon);
    QCOMPARE(m_script->shown().first().title, s("Qemu Executable"));
    QCOMPARE(preset, icon == 69 ? s("old kernel") : s("old initrd"));
    QTEST(label, "label");
    QCOMPARE(hint, s("Browse"));
    if (typed.isEmpty()) {
        QCOMPARE(m_script->shown().size(), 2);
        const ScriptedInteraction::Shown chooser = m_script->shown().at(1);
        QCOMPARE(chooser.kind, s("open"));
        QCOMPARE(chooser.title, s("Select Image"));
        QCOMPARE(QDir(chooser.text), QDir(m_folder->file(s("qemu"))));
        QCOMPARE(chooser.preset, QString());
        QCOMPARE(boxAfterBrowse, chosenPath); // the box shows the full path
    }
    QTEST(read("Hardware", icon == 69 ? "Kernel" : "initrd"), "stored");
}

void TestAdvancedEditors::biosFile_data()
{
    QTest::addColumn<QString>("action"); // "browse", "clear", "empty"
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("stored");
    QTest::newRow("chosen in the qemu folder")
        << s("browse") << s("qemu/bios.bin") << s("{VR}\\qemu\\bios.bin")
        << s("{VR}\\qemu\\bios.bin");
    QTest::newRow("chosen below the qemu folder")
        << s("browse") << s("qemu/pc-bios/bios.bin") << s("*qemu/pc-bios/bios.bin")
        << s("*qemu/pc-bios/bios.bin");
    QTest::newRow("chosen outside")
        << s("browse") << s("/usr/share/seabios/bios.bin") << s("/usr/share/seabios/bios.bin")
        << s("/usr/share/seabios/bios.bin");
    QTest::newRow("chooser cancelled") << s("browse") << QString() << s("my.bin") << s("my.bin");
    QTest::newRow("clear") << s("clear") << QString() << s("Default") << s("Default");
    QTest::newRow("emptied") << s("empty") << QString() << QString() << s("Default");
}

void TestAdvancedEditors::biosFile()
{
    QFETCH(QString, action);
    QFETCH(QString, chosen);
    QFETCH(QString, box);
    QFETCH(QString, stored);
    // "*" stands for the program folder.
    const auto expand = [this](QString text) {
        if (text.startsWith(QLatin1Char('*')))
            text = m_folder->path() + QLatin1Char('/') + text.mid(1);
        return text;
    };
    start({key("Advanced", "Bios", "my.bin")});
    QString preset;
    QString frame;
    QString label;
    bool buttonsShown = false;
    bool vmShown = true;
    QString boxAtOk;
    answer<DataEntryDialog>([&](DataEntryDialog& dialog) {
        preset = dialog.text();
        frame = dialog.frame();
        label = dialog.label();
        buttonsShown = !dialog.browseButton()->isHidden() && !dialog.clearButton()->isHidden();
        vmShown = !dialog.vmButton()->isHidden();
        if (action == s("browse")) {
            m_script->answerText(chosen.isEmpty()                      ? std::optional<QString>()
                                 : chosen.startsWith(QLatin1Char('/')) ? chosen
                                                                       : m_folder->file(chosen));
            dialog.browseButton()->click();
        } else if (action == s("clear")) {
            dialog.clearButton()->click();
        } else {
            dialog.textBox()->clear();
        }
        boxAtOk = dialog.text();
        return QDialog::Accepted;
    });
    edit(67);
    QCOMPARE(m_script->shown().first().title, s("Data Entry"));
    QCOMPARE(preset, s("my.bin"));
    QCOMPARE(frame, s("Bios Filename"));
    QCOMPARE(label, s("Enter the BIOS Filename"));
    QVERIFY(buttonsShown);
    QVERIFY(!vmShown);
    if (action == s("browse")) {
        const ScriptedInteraction::Shown chooser = m_script->shown().at(1);
        QCOMPARE(chooser.title, s("Bios Location"));
        QCOMPARE(QDir(chooser.text), QDir(m_folder->file(s("qemu"))));
        QCOMPARE(chooser.preset, QString());
    }
    QCOMPARE(boxAtOk, expand(box));
    QCOMPARE(read("Advanced", "Bios"), expand(stored));
}

void TestAdvancedEditors::optionalButtonsFollowTheUse()
{
    start({key("Advanced", "OptionalString", "-no-acpi")});
    answer<DataEntryDialog>([](DataEntryDialog&) { return QDialog::Rejected; });
    edit(67);
    bool browse = true;
    bool clear = true;
    bool vm = true;
    QString preset;
    QString frame;
    QString label;
    answer<DataEntryDialog>([&](DataEntryDialog& dialog) {
        browse = !dialog.browseButton()->isHidden();
        clear = !dialog.clearButton()->isHidden();
        vm = !dialog.vmButton()->isHidden();
        preset = dialog.text();
        frame = dialog.frame();
        label = dialog.label();
        dialog.textBox()->setText(s("-no-acpi -no-hpet"));
        return QDialog::Accepted;
    });
    edit(30);
    QVERIFY(!browse);
    QVERIFY(!clear);
    QVERIFY(!vm);
    QCOMPARE(preset, s("-no-acpi"));
    QCOMPARE(frame, s("Override"));
    QCOMPARE(label, s("Enter VM Override Data"));
    QCOMPARE(read("Advanced", "OptionalString"), s("-no-acpi -no-hpet"));

    answer<DataEntryDialog>([&](DataEntryDialog& dialog) {
        frame = dialog.frame();
        label = dialog.label();
        vm = !dialog.vmButton()->isHidden();
        dialog.textBox()->setText(s("console=ttyS0"));
        return QDialog::Accepted;
    });
    edit(77);
    QCOMPARE(frame, s("Kernel"));
    QCOMPARE(label, s("Kernel Command Line Append"));
    QVERIFY(!vm);
    QCOMPARE(read("Hardware", "Append"), s("console=ttyS0"));
}

void TestAdvancedEditors::windowTitle()
{
    start({key("General", "Window Title", "")});
    QString preset;
    QString afterVm;
    bool vmShown = false;
    bool browseShown = true;
    answer<DataEntryDialog>([&](DataEntryDialog& dialog) {
        preset = dialog.text();
        vmShown = !dialog.vmButton()->isHidden();
        browseShown = !dialog.browseButton()->isHidden();
        dialog.textBox()->setText(s("Guest"));
        dialog.vmButton()->click();
        afterVm = dialog.text();
        dialog.textBox()->setText(s("{VM NAME} - test"));
        return QDialog::Accepted;
    });
    edit(61);
    QCOMPARE(preset, s("{VM NAME}"));
    QVERIFY(vmShown);
    QVERIFY(!browseShown);
    QCOMPARE(afterVm, s("{VM NAME}"));
    QCOMPARE(read("General", "Window Title"), s("{VM NAME} - test"));

    // The "VM" button goes when the dialog closes.
    answer<DataEntryDialog>([&](DataEntryDialog& dialog) {
        vmShown = !dialog.vmButton()->isHidden();
        return QDialog::Rejected;
    });
    edit(30);
    QVERIFY(!vmShown);
}

void TestAdvancedEditors::promStrings()
{
    start({key("General", "Arc", "sparc"),
           key("Hardware", "PromEnv", "auto-boot?=false|boot-device=cdrom||")});
    QStringList items;
    QString title;
    answer<PromEnvDialog>([&](PromEnvDialog& dialog) {
        items = dialog.items();
        dialog.textBox()->setText(s("diag-switch?=true"));
        dialog.addButton()->click();
        return QDialog::Accepted;
    });
    edit(78);
    QCOMPARE(m_script->shown().first().title, s("PROM Env Strings"));
    QCOMPARE(items, (QStringList{s("auto-boot?=false"), s("boot-device=cdrom")}));
    QCOMPARE(read("Hardware", "PromEnv"),
             s("auto-boot?=false|boot-device=cdrom|diag-switch?=true"));

    // Deleting every string stores an empty value.
    int deletes = 0;
    answer<PromEnvDialog>([&](PromEnvDialog& dialog) {
        while (dialog.list()->count() > 0 && deletes < 10) {
            dialog.list()->setCurrentRow(0);
            dialog.deleteButton()->click();
            ++deletes;
        }
        return QDialog::Accepted;
    });
    edit(78);
    QCOMPARE(deletes, 3);
    QVERIFY(QFile(m_vm).exists());
    QCOMPARE(read("Hardware", "PromEnv"), QString());
    QVERIFY(fileBytes(m_vm).contains("PromEnv=\r\n"));
}

void TestAdvancedEditors::promStringsAddAndClick()
{
    start({key("Hardware", "PromEnv", "a=1|b=2")});
    QString boxAfterAdd = s("unset");
    QStringList afterEmptyAdd;
    QStringList afterBarAdd;
    QString boxAfterClick;
    QStringList afterDelete;
    QStringList afterSecondDelete;
    QString boxAfterDelete = s("unset");
    answer<PromEnvDialog>([&](PromEnvDialog& dialog) {
        dialog.addButton()->click(); // empty text box: nothing added
        afterEmptyAdd = dialog.items();
        dialog.textBox()->setText(s("c=3|d=4"));
        dialog.addButton()->click();
        afterBarAdd = dialog.items();
        boxAfterAdd = dialog.textBox()->text();

        dialog.show();
        QListWidget* list = dialog.list();
        QListWidgetItem* item = list->item(1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
        boxAfterClick = dialog.textBox()->text();
        dialog.deleteButton()->click();
        afterDelete = dialog.items();
        boxAfterDelete = dialog.textBox()->text();
        // Nothing is selected after a delete, so a second one removes nothing.
        dialog.deleteButton()->click();
        afterSecondDelete = dialog.items();
        dialog.hide();
        return QDialog::Accepted;
    });
    edit(78);
    QCOMPARE(afterEmptyAdd, (QStringList{s("a=1"), s("b=2")}));
    QCOMPARE(afterBarAdd, (QStringList{s("a=1"), s("b=2"), s("c=3"), s("d=4")}));
    QCOMPARE(boxAfterAdd, QString());
    QCOMPARE(boxAfterClick, s("b=2"));
    QCOMPARE(afterDelete, (QStringList{s("a=1"), s("c=3"), s("d=4")}));
    QCOMPARE(boxAfterDelete, QString());
    QCOMPARE(afterSecondDelete, afterDelete);
    QCOMPARE(read("Hardware", "PromEnv"), s("a=1|c=3|d=4"));
}

void TestAdvancedEditors::audioLibrary_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("aoid");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("choose"); // -2: leave as it opened
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("item");
    const QStringList plain{s("Direct Sound"), s("SDL"), s("Wave Renderer"), s("None")};
    const QStringList fmod{s("Direct Sound"), s("SDL"), s("Wave Renderer"), s("FMOD"), s("None")};
    QTest::newRow("four without fmod selects nothing")
        << s("plain") << s("4") << plain << QString() << -2 << QString() << s("-1") << QString();
    QTest::newRow("none without fmod") << s("plain") << s("0") << plain << s("Direct Sound") << 3
                                       << s("None") << s("3") << s("none");
    QTest::newRow("none with fmod")
        << s("fmod") << s("4") << fmod << s("None") << 3 << s("FMOD") << s("3") << s("fmod");
    QTest::newRow("unknown version has no fmod")
        << s("gone") << s("1") << plain << s("SDL") << -2 << s("SDL") << s("1") << s("sdl");
}

void TestAdvancedEditors::audioLibrary()
{
    QFETCH(QString, version);
    QFETCH(QString, aoid);
    QFETCH(int, choose);
    start({{s("General"), s("Qemu Version ID"), version}, {s("Advanced"), s("AOID"), aoid}});
    QStringList items;
    QString preset;
    QString id;
    answer<AdvancedChoiceDialog>([&](AdvancedChoiceDialog& dialog) {
        items = comboItems(dialog.list());
        preset = dialog.selectedText();
        if (choose != -2)
            dialog.list()->setCurrentIndex(choose);
        id = dialog.selectedId();
        return QDialog::Accepted;
    });
    edit(19);
    QCOMPARE(m_script->shown().first().title, s("Audio Library"));
    QTEST(items, "items");
    QTEST(preset, "preset");
    QTEST(id, "item"); // the row's hidden identifier is the one written
    QTEST(read("Advanced", "Audio Output"), "output");
    QTEST(read("Advanced", "AOID"), "written");
    QTEST(read("Advanced", "AOItem"), "item");
}

void TestAdvancedEditors::startTime()
{
    start(); // the template's "Now"
    QDate shownDate;
    QString shownTime;
    QStringList hours;
    QString frame;
    answer<StartDateDialog>([&](StartDateDialog& dialog) {
        shownDate = dialog.date();
        shownTime = dialog.timeList()->currentText();
        hours = comboItems(dialog.timeList());
        frame = dialog.findChild<QGroupBox*>()->title();
        dialog.datePicker()->setDate(QDate(2009, 12, 25));
        dialog.timeList()->setCurrentText(s("18:00"));
        return QDialog::Accepted;
    });
    edit(68);
    QCOMPARE(m_script->shown().first().title, s("Select Date & Time"));
    QCOMPARE(frame, s("Start Date && Time"));
    QCOMPARE(shownDate, QDate::currentDate());
    QCOMPARE(shownTime, s("06:00"));
    QCOMPARE(hours.size(), 24);
    QCOMPARE(hours.first(), s("00:00"));
    QCOMPARE(hours.last(), s("23:00"));
    QCOMPARE(read("Advanced", "Start Time"), s("2009-12-25T18:00:00"));

    answer<StartDateDialog>([&](StartDateDialog& dialog) {
        shownDate = dialog.date();
        shownTime = dialog.timeList()->currentText();
        dialog.datePicker()->setDate(QDate(2009, 3, 7));
        dialog.timeList()->setCurrentIndex(6);
        return QDialog::Accepted;
    });
    edit(68);
    QCOMPARE(shownDate, QDate(2009, 12, 25));
    QCOMPARE(shownTime, s("18:00"));
    QCOMPARE(read("Advanced", "Start Time"), s("2009-03-07T6:00:00"));
}

void TestAdvancedEditors::startTimeKeepsTheLastDate()
{
    start({key("Advanced", "Start Time", "2011-08-15T9:00:00")});
    answer<StartDateDialog>([](StartDateDialog&) { return QDialog::Rejected; });
    edit(68);
    // A value of no known form keeps the date shown last and the default hour, and is not
    // written back unless the user presses OK.
    QVERIFY(WriteVMFileValue(m_vm, s("Advanced"), s("Start Time"), s("someday")));
    const QByteArray before = fileBytes(m_vm);
    QDate shownDate;
    QString shownTime;
    answer<StartDateDialog>([&](StartDateDialog& dialog) {
        shownDate = dialog.date();
        shownTime = dialog.timeList()->currentText();
        return QDialog::Rejected;
    });
    edit(68);
    QCOMPARE(shownDate, QDate(2011, 8, 15));
    QCOMPARE(shownTime, s("06:00"));
    QCOMPARE(fileBytes(m_vm), before);
}

void TestAdvancedEditors::kqemuAndPriority_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("choose");
    QTest::addColumn<Keys>("written");
    const QStringList modes{s("Disabled"), s("User Mode"), s("Full Acceleration")};
    const QStringList classes{s("Idle"), s("Normal"), s("High"), s("Realtime")};
    QTest::newRow("kqemu empty is disabled")
        << 11 << Keys{} << s("KQEMU Accelerator") << s("KQEMU Mode:") << modes << s("Disabled") << 2
        << Keys{key("Advanced", "KQEMU", "Full Acceleration"), key("Advanced", "KQEMUID", "2")};
    QTest::newRow("kqemu user mode")
        << 11 << Keys{key("Advanced", "KQEMU", "User Mode"), key("Advanced", "KQEMUID", "1")}
        << s("KQEMU Accelerator") << s("KQEMU Mode:") << modes << s("User Mode") << 0
        << Keys{key("Advanced", "KQEMU", "Disabled"), key("Advanced", "KQEMUID", "0")};
    QTest::newRow("kqemu id not a number")
        << 11 << Keys{key("Advanced", "KQEMU", "User Mode"), key("Advanced", "KQEMUID", "one")}
        << s("KQEMU Accelerator") << s("KQEMU Mode:") << modes << s("User Mode") << 1
        << Keys{key("Advanced", "KQEMU", "User Mode"), key("Advanced", "KQEMUID", "1")};
    const QString priorityLabel =
        s("Please select the priority QEMU should run at on startup (CAUTION).");
    QTest::newRow("priority template")
        << 46 << Keys{} << s("Priority") << priorityLabel << classes << s("Normal") << 2
        << Keys{key("Advanced", "Process", "High"), key("Advanced", "ProcessIndex", "2")};
    QTest::newRow("priority empty selects nothing")
        << 46 << Keys{key("Advanced", "ProcessIndex", "")} << s("Priority") << priorityLabel
        << classes << QString() << -1
        << Keys{key("Advanced", "Process", ""), key("Advanced", "ProcessIndex", "-1")};
}

void TestAdvancedEditors::kqemuAndPriority()
{
    QFETCH(int, icon);
    QFETCH(Keys, stored);
    QFETCH(int, choose);
    QFETCH(Keys, written);
    start(stored);
    QStringList items;
    QString preset;
    QString label;
    answer<AdvancedChoiceDialog>([&](AdvancedChoiceDialog& dialog) {
        items = comboItems(dialog.list());
        preset = dialog.selectedText();
        label = dialog.label();
        dialog.list()->setCurrentIndex(choose);
        return QDialog::Accepted;
    });
    edit(icon);
    QTEST(m_script->shown().first().title, "title");
    QTEST(label, "label");
    QTEST(items, "items");
    QTEST(preset, "preset");
    for (const auto& [section, name, value] : written)
        QCOMPARE(ReadVMFileValue(m_vm, section, name), value);
}

void TestAdvancedEditors::okWithoutChangesKeepsTheValues_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QStringList>("keys"); // "section/key"
    const auto row = [](const char* name, int icon, QStringList keys) {
        QTest::newRow(name) << icon << keys;
    };
    row("keyboard", 42, {s("Hardware/Keyboard"), s("Hardware/KeyboardIndex")});
    row("affinity", 58, {s("Advanced/Affinity"), s("Advanced/AffinityCPU")});
    row("kernel", 69, {s("Hardware/Kernel")});
    row("bios", 67, {s("Advanced/Bios")});
    row("window title", 61, {s("General/Window Title")});
    row("prom", 78, {s("Hardware/PromEnv")});
    row("sound library", 19,
        {s("Advanced/Audio Output"), s("Advanced/AOID"), s("Advanced/AOItem")});
    row("kqemu", 11, {s("Advanced/KQEMU"), s("Advanced/KQEMUID")});
    row("priority", 46, {s("Advanced/Process"), s("Advanced/ProcessIndex")});
    row("start cpu", 32, {s("Hardware/Do Not Start CPU")});
    row("debug", 52, {s("Advanced/Debug"), s("Hardware/Vimor Client")});
    row("start time", 68, {s("Advanced/Start Time")});
}

void TestAdvancedEditors::okWithoutChangesKeepsTheValues()
{
    QFETCH(int, icon);
    QFETCH(QStringList, keys);
    Host::overrideProcessorCount(4);
    start({key("Hardware", "Kernel", "{VR}\\qemu\\vmlinuz"), key("Hardware", "PromEnv", "a=1|b=2"),
           key("Hardware", "Vimor Client", "Yes"), key("Advanced", "Affinity", "CPU 1"),
           key("Advanced", "AffinityCPU", "2"), key("Advanced", "KQEMU", "User Mode"),
           key("Advanced", "KQEMUID", "1"), key("Advanced", "Start Time", "2009-03-07T6:00:00")});
    const auto values = [&] {
        QStringList result;
        for (const QString& name : keys)
            result.append(ReadVMFileValue(m_vm, name.section(QLatin1Char('/'), 0, 0),
                                          name.section(QLatin1Char('/'), 1)));
        return result;
    };
    const QStringList before = values();
    m_script->answerDialog([](QDialog&) { return int(QDialog::Accepted); });
    edit(icon);
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(values(), before);
}

void TestAdvancedEditors::cancelWritesNothing_data()
{
    QTest::addColumn<int>("icon");
    for (int icon : {42, 58, 69, 70, 77, 67, 78, 79, 19, 49, 47, 61, 32,
                     8,  68, 11, 12, 64, 65, 66, 48, 13, 46, 52, 30, 29})
        QTest::addRow("icon %d", icon) << icon;
}

void TestAdvancedEditors::cancelWritesNothing()
{
    QFETCH(int, icon);
    Host::overrideProcessorCount(4);
    start();
    const QByteArray before = fileBytes(m_vm);
    // The user changes every control, then cancels.
    m_script->answerDialog([](QDialog& dialog) {
        for (QComboBox* list : dialog.findChildren<QComboBox*>())
            list->setCurrentIndex(list->count() - 1);
        for (QLineEdit* box : dialog.findChildren<QLineEdit*>())
            box->setText(QStringLiteral("changed"));
        for (QDateEdit* date : dialog.findChildren<QDateEdit*>())
            date->setDate(QDate(2001, 2, 3));
        for (QListWidget* list : dialog.findChildren<QListWidget*>())
            list->addItem(QStringLiteral("added"));
        return int(QDialog::Rejected);
    });
    edit(icon);
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().first().kind, s("dialog"));
    QCOMPARE(fileBytes(m_vm), before);
}

void TestAdvancedEditors::rowsWithoutEditor()
{
    start();
    const QByteArray before = fileBytes(m_vm);
    for (int icon : {54, 0, 2, 57, 100, -1})
        edit(icon);
    QVERIFY(m_script->shown().isEmpty());
    QCOMPARE(fileBytes(m_vm), before);
}

void TestAdvancedEditors::nothingSelected()
{
    m_window = std::make_unique<TMain>(); // an empty store: no VM to select
    QVERIFY(m_window->selectedVM().isEmpty());
    m_editors = std::make_unique<AdvancedEditors>(*m_window, m_window.get());
    m_script->clear();
    for (int icon : {47, 42, 58, 69, 61, 78, 19, 68, 11, 46})
        edit(icon);
    QVERIFY(m_script->shown().isEmpty());
    QVERIFY(QDir(m_folder->file(s("VMs"))).isEmpty());
}

void TestAdvancedEditors::failedWriteStopsTheSequence()
{
    start();
    const QString folder = m_folder->file(s("VMs"));
    answer<AdvancedChoiceDialog>([folder](AdvancedChoiceDialog& dialog) {
        // The VM's folder goes away while the dialog is open: no write can succeed.
        QDir(folder).removeRecursively();
        dialog.list()->setCurrentIndex(2);
        return QDialog::Accepted;
    });
    edit(46);
    // One error for "Process"; "ProcessIndex" is not tried after it.
    QCOMPARE(m_script->shown().size(), 2);
    QCOMPARE(m_script->shown().at(1).kind, s("error"));
    QVERIFY(!QFile::exists(m_vm));
}

void TestAdvancedEditors::lastRunWindow()
{
    start();
    const QByteArray before = fileBytes(m_vm);
    QString text;
    QString frame;
    answer<LastRunWindow>([&](LastRunWindow& window) {
        text = window.text();
        frame = window.findChild<QGroupBox*>()->title();
        return QDialog::Accepted;
    });
    m_editors->ShowLastLaunchCommand1Click();
    QCOMPARE(m_script->shown().first().title, s("Last Run"));
    QCOMPARE(frame, s("Last Run"));
    QCOMPARE(text, s(" ")); // before any launch

    const QString arguments = s("-L \"/opt/q/bios\" -m 256 -hda \"/vms/a b.img\" -name \"x\"");
    m_editors->setLastLaunchSource([arguments] {
        return AdvancedEditing::LastLaunch{s("/opt/q/qemu.exe"), arguments,
                                           {s("Acceleration: KVM"), s("Sound: none")}};
    });
    QGuiApplication::clipboard()->setText(s("something else"));
    bool readOnly = false;
    bool selectedAfterCopy = true;
    QString copyCaption;
    m_script->clear();
    QString notes;
    answer<LastRunWindow>([&](LastRunWindow& window) {
        text = window.text();
        notes = window.notes();
        readOnly = window.textView()->isReadOnly();
        copyCaption = window.copyButton()->text();
        window.copyButton()->click();
        selectedAfterCopy = window.textView()->textCursor().hasSelection();
        return QDialog::Rejected;
    });
    m_editors->ShowLastLaunchCommand1Click();
    const QString expected = s("\"/opt/q/qemu.exe\" ") + arguments;
    QCOMPARE(text, expected);
    // The launch's notes show under the command line and are not copied with it.
    QCOMPARE(notes, s("Acceleration: KVM\nSound: none"));
    QVERIFY(readOnly);
    QCOMPARE(copyCaption, s("Copy To Clipboard"));
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    QVERIFY(!selectedAfterCopy);
    QCOMPARE(m_script->shown().size(), 2);
    QCOMPARE(m_script->shown().at(1).kind, s("information"));
    QCOMPARE(m_script->shown().at(1).text, s("Copy Complete"));
    QCOMPARE(fileBytes(m_vm), before);
}

QTEST_MAIN(TestAdvancedEditors)
#include "tst_advancededitors.moc"

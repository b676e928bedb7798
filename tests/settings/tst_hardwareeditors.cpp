#include "app/ui/TMain.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Host.h"
#include "platform/SerialPorts.h"
#include "platform/ui/Interaction.h"
#include "settings/ModernHardwareEditing.h"
#include "settings/ui/AdvancedChoiceDialog.h"
#include "settings/ui/CpuTypeDialog.h"
#include "settings/ui/DeviceChoiceDialog.h"
#include "settings/ui/HardwareEditors.h"
#include "settings/ui/MainDisplayDialog.h"
#include "settings/ui/MemoryDialog.h"
#include "settings/ui/OperatingSystemDialog.h"
#include "settings/ui/ParallelPortDialog.h"
#include "settings/ui/ProcessorsDialog.h"
#include "settings/ui/QemuVersionDialog.h"
#include "settings/ui/SerialPortDialog.h"
#include "settings/ui/YesNoDialog.h"
#include "support/TempProgramFolder.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
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

// An x86 VM of 32 bits on the standard PC with two network cards, of a version that can draw
// into the window.
const Keys BaseVM = {
    key("General", "Arc", "x86"),
    key("General", "Qemu Version", "Test QEMU"),
    key("General", "Qemu Version ID", "v1"),
    key("General", "VM Store ID", "0"),
    key("General", "Operating System", "Linux"),
    key("Hardware", "CPUArc", "32 Bit"),
    key("Hardware", "CPUType", "Qemu 32 Bit"),
    key("Hardware", "CID", "qemu32"),
    key("Hardware", "MachineType", "Standard ACPI PCI Based PC"),
    key("Hardware", "MID", "pc"),
    key("Hardware", "RAM", "256"),
    key("Hardware", "OutputID", "1"),
    key("Hardware", "Output", "QEMU Window"),
    key("Hardware", "Video Card", "Cirrus Logic GD5446"),
    key("Hardware", "VideoID", "0"),
    key("Hardware", "VID", "cirrus"),
    key("Audio", "SoundCard", "Adlib"),
    key("Audio", "SoundID", "4"),
    key("Audio", "SID", "adlib"),
    key("Network", "CardCount", "2"),
    key("Network Card 1", "Lan Card", "Realtek 8139"),
    key("Network Card 1", "Lan Card ID", "0"),
    key("Network Card 1", "LID", "rtl8139"),
    key("Network Card 1", "MAC", "52-54-00-12-34-56"),
    key("Network Card 1", "VLAN", "0"),
    key("Network Card 2", "Lan Card", "Intel E1000"),
    key("Network Card 2", "Lan Card ID", "5"),
    key("Network Card 2", "LID", "e1000"),
    key("Network Card 2", "MAC", "52-54-00-65-43-21"),
    key("Network Card 2", "VLAN", "1"),
    key("Serial Port 1", "SerialTy", "3"),
    key("Serial Port 1", "Serial", "TCP"),
    key("Serial Port 1", "IP", "10.0.2.2"),
    key("Serial Port 1", "Port", "4444"),
    key("Serial Port 1", "listen", "1"),
    key("Serial Port 1", "wait", "0"),
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void addVersion(const TempProgramFolder& folder, const QString& id, const QString& description,
                const QString& integrated)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    versions.setFieldValue(QStringLiteral("ID"), id);
    versions.setFieldValue(QStringLiteral("DESC"), description);
    versions.setFieldValue(QStringLiteral("INT"), integrated);
    versions.setFieldValue(QStringLiteral("CONSOLE"), integrated);
    versions.setFieldValue(QStringLiteral("DEFAULT"), QStringLiteral("No"));
    QVERIFY(versions.post());
}

void deleteVersions(const TempProgramFolder& folder, const QString& id)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    versions.setFilter(TableHandle::equalsFilter(QStringLiteral("ID"), id));
    versions.setFiltered(true);
    QVERIFY(versions.open());
    while (!versions.isEmpty() && !versions.eof())
        QVERIFY(versions.deleteRow());
}

void addOperatingSystems(const TempProgramFolder& folder, const QStringList& names)
{
    TableHandle opsys;
    opsys.setFolder(folder.path());
    opsys.setTableName(TableSchemas::OpSysTable);
    QVERIFY(opsys.open());
    for (const QString& name : names) {
        opsys.insert();
        opsys.setFieldValue(QStringLiteral("NAME"), name);
        QVERIFY(opsys.post());
    }
}

// The main window as the editors' context, counting the refreshes of the settings view.
class CountingContext final : public VMContext
{
public:
    explicit CountingContext(TMain& window) : m_window(window) {}

    int refreshes = 0;

    QString selectedVM() const override { return m_window.selectedVM(); }
    QString selectedVMName() const override { return m_window.selectedVMName(); }
    QString ReadVMValue(const QString& section, const QString& key) const override
    {
        return m_window.ReadVMValue(section, key);
    }
    bool WriteVMValue(const QString& path, const QString& section, const QString& key,
                      const QString& value) override
    {
        return m_window.WriteVMValue(path, section, key, value);
    }
    VersionRegistry& versions() override { return m_window.versions(); }
    TableHandle& table(Table which) override { return m_window.table(which); }
    const StartSettings& startSettings() const override { return m_window.startSettings(); }
    void ShowSettings() override
    {
        ++refreshes;
        m_window.ShowSettings();
    }
    QWidget* dialogParent() override { return &m_window; }
    const ImageLibrary& images() const override { return m_window.images(); }

private:
    TMain& m_window;
};

QAbstractButton* standardButton(QDialog& dialog, QDialogButtonBox::StandardButton which)
{
    auto* box = dialog.findChild<QDialogButtonBox*>();
    return box ? box->button(which) : nullptr;
}

// Presses a button of the dialog as the user would and gives the dialog's result; a dialog that
// refuses to close answers Rejected, as its run would not have ended.
int press(QDialog& dialog, QDialogButtonBox::StandardButton which)
{
    dialog.setResult(QDialog::Rejected);
    if (QAbstractButton* button = standardButton(dialog, which))
        button->click();
    return dialog.result();
}

int pressOk(QDialog& dialog)
{
    return press(dialog, QDialogButtonBox::Ok);
}

int pressCancel(QDialog& dialog)
{
    return press(dialog, QDialogButtonBox::Cancel);
}

QStringList labelTexts(const QDialog& dialog)
{
    QStringList texts;
    const QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    for (const QLabel* label : labels)
        texts.append(label->text());
    return texts;
}

QStringList frameTitles(const QDialog& dialog)
{
    QStringList titles;
    const QList<QGroupBox*> frames = dialog.findChildren<QGroupBox*>();
    for (const QGroupBox* frame : frames)
        titles.append(frame->title());
    return titles;
}

QStringList items(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts.append(box->itemText(i));
    return texts;
}

template <typename Dialog>
Dialog* as(QDialog& dialog)
{
    auto* typed = qobject_cast<Dialog*>(&dialog);
    if (!typed)
        qWarning("The dialog \"%s\" is not the one expected", qPrintable(dialog.windowTitle()));
    return typed;
}

} // namespace

class TestHardwareEditors final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogTexts_data();
    void dialogTexts();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
    void rowsWithoutEditor_data();
    void rowsWithoutEditor();
    void nothingWithoutSelectedVM();
    void dialogsAreReused();

    void yesNoRows_data();
    void yesNoRows();
    void soundSwitch_data();
    void soundSwitch();

    void memory();
    void processors();

    void cpuTypeKeepsStoredIdentifiers_data();
    void cpuTypeKeepsStoredIdentifiers();
    void cpuTypeBitnessChange();
    void cpuTypeColdfire();
    void cpuTypeResetsCards_data();
    void cpuTypeResetsCards();

    void mainDisplayRefusesIntegrated();
    void mainDisplayRemembersOpenedList();
    void mainDisplayIntegrated();

    void soundCard();
    void videoCard();

    void serialTcpToConsole();
    void serialFileChooser();
    void serialHostPorts();
    void serialTcpWrite();
    void serialTypeKeptBetweenOpenings();
    void parallelPort();

    void versionChoice_data();
    void versionChoice();
    void operatingSystem();
    void storeFolder();
    void firmwareAndDiskBus();

private:
    // Writes the VM (base keys, then extra), opens the main window and the editors on it.
    void start(const Keys& extra = {});
    QString read(const char* section, const char* name) const;
    QStringList cardModels() const;

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    std::unique_ptr<CountingContext> m_context;
    std::unique_ptr<HardwareEditors> m_editors;
    QString m_vm;
    ScriptedInteraction* m_script = nullptr;
};

void TestHardwareEditors::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_vm = m_folder->file(QStringLiteral("VMs/test.vm2"));
    addVersion(*m_folder, s("v1"), s("Test QEMU"), s("Yes"));
}

void TestHardwareEditors::cleanup()
{
    m_editors.reset();
    m_context.reset();
    m_window.reset();
    m_folder.reset();
    Host::overridePhysicalMemoryMB(0);
}

void TestHardwareEditors::start(const Keys& extra)
{
    QVERIFY(WriteVMTemplate(m_vm, true));
    for (const auto& [section, name, value] : BaseVM + extra)
        QVERIFY(WriteVMFileValue(m_vm, section, name, value));
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
    m_context = std::make_unique<CountingContext>(*m_window);
    m_editors = std::make_unique<HardwareEditors>(*m_context, m_window.get());
    m_editors->openFolder = [](const QString&) { return true; };
    m_script->clear();
}

QString TestHardwareEditors::read(const char* section, const char* name) const
{
    return ReadVMFileValue(m_vm, s(section), s(name));
}

// Both cards' model keys, "Lan Card|Lan Card ID|LID" each.
QStringList TestHardwareEditors::cardModels() const
{
    QStringList cards;
    for (const char* card : {"Network Card 1", "Network Card 2"})
        cards.append(read(card, "Lan Card") + u'|' + read(card, "Lan Card ID") + u'|' +
                     read(card, "LID"));
    return cards;
}

void TestHardwareEditors::dialogTexts_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("memory") << 2 << s("Memory") << QStringList{s("Memory")}
                            << QStringList{s("Specify amount of RAM required for the VM.")};
    QTest::newRow("processors")
        << 3 << s("Processors") << QStringList{s("Processors")}
        << QStringList{s("Specify the total amount of processors for the Virtual Machine"),
                       s("Processors.")};
    QTest::newRow("QEMU version")
        << 82 << QString() << QStringList{}
        << QStringList{
               s("Vimor supports multiple versions of QEMU, depending on the version you select"),
               s("will lock / unlock certain features of Vimor."), s("QEMU Version:")};
    QTest::newRow("operating system")
        << 0 << s("Operating system") << QStringList{s("Operating System")}
        << QStringList{s("Please specify the Virtual Machines operating system")};
    QTest::newRow("CPU type") << 58 << s("CPU Type") << QStringList{s("CPU Type")}
                              << QStringList{s("CPU Bits:"), s("Machine Type:"), s("CPU Type:")};
    QTest::newRow("machine type") << 71 << s("CPU Type") << QStringList{s("CPU Type")}
                                  << QStringList{s("CPU Bits:"), s("Machine Type:"),
                                                 s("CPU Type:")};
    QTest::newRow("main display") << 14 << s("Main Display") << QStringList{s("Display")}
                                  << QStringList{
                                         s("Specify how the virtual machine will be displayed:"),
                                         s("Please specify the VNC Display Number")};
    QTest::newRow("sound card") << 59 << s("Sound Devices") << QStringList{s("Devices")}
                                << QStringList{s("Select a sound card")};
    QTest::newRow("video card") << 60 << s("Video Adapter") << QStringList{s("Devices")}
                                << QStringList{s("Select a video adapter")};
    QTest::newRow("serial port") << 72 << s("Select Port") << QStringList{s("Devices"), s("Type")}
                                 << QStringList{s("Select Port"), s("Filename:"),
                                                s("Redirect to the following IP address:"),
                                                s("TCP Port:")};
    QTest::newRow("parallel port")
        << 73 << s("Parallel Ports") << QStringList{s("Devices"), s("Type")}
        << QStringList{s("Filename:")};
    QTest::newRow("USB") << 4 << s("Select") << QStringList{QString()}
                         << QStringList{s("Enable USB Support ?")};
}

void TestHardwareEditors::dialogTexts()
{
    QFETCH(int, icon);
    QFETCH(QString, title);
    QFETCH(QStringList, frames);
    QFETCH(QStringList, labels);
    start();
    bool ran = false;
    m_script->answerDialog([&](QDialog& dialog) {
        ran = true;
        [&] {
            QCOMPARE(dialog.windowTitle(), title);
            QCOMPARE(frameTitles(dialog), frames);
            QCOMPARE(labelTexts(dialog), labels);
            QVERIFY(standardButton(dialog, QDialogButtonBox::Ok));
            QVERIFY(standardButton(dialog, QDialogButtonBox::Cancel));
            QCOMPARE(dialog.parentWidget(), m_window.get());
        }();
        return pressCancel(dialog);
    });
    m_editors->edit(icon, s("1"));
    QVERIFY(ran);
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().first().kind, s("dialog"));
}

void TestHardwareEditors::cancelWritesNothing_data()
{
    QTest::addColumn<int>("icon");
    for (int icon : {0, 2, 3, 4, 14, 19, 45, 58, 59, 60, 71, 72, 73, 75, 76, 82})
        QTest::addRow("icon %d", icon) << icon;
}

void TestHardwareEditors::cancelWritesNothing()
{
    QFETCH(int, icon);
    addOperatingSystems(*m_folder, {s("Linux"), s("Windows XP")});
    addVersion(*m_folder, s("v2"), s("Other QEMU"), s("No"));
    start();
    const QByteArray before = fileBytes(m_vm);
    m_script->answerDialog([](QDialog& dialog) {
        // Change every list and box first: none of it may reach the file.
        const QList<QComboBox*> lists = dialog.findChildren<QComboBox*>();
        for (QComboBox* list : lists)
            list->setCurrentIndex(list->count() - 1);
        const QList<QSpinBox*> boxes = dialog.findChildren<QSpinBox*>();
        for (QSpinBox* box : boxes)
            box->setValue(box->value() + 8);
        const QList<QLineEdit*> texts = dialog.findChildren<QLineEdit*>();
        for (QLineEdit* text : texts)
            text->setText(s("1.2.3.4"));
        return pressCancel(dialog);
    });
    m_editors->edit(icon, s("1"));
    QCOMPARE(m_script->pendingAnswers(), 0);
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_context->refreshes, 0);
}

void TestHardwareEditors::rowsWithoutEditor_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("number");
    QTest::newRow("Virtual Machine Name") << 51 << QString();
    QTest::newRow("Last Run") << 1 << QString();
    QTest::newRow("network card (edited elsewhere)") << 57 << s("1");
    QTest::newRow("USB devices (edited elsewhere)") << 63 << QString();
    QTest::newRow("unknown icon") << 999 << QString();
    QTest::newRow("serial port without number") << 72 << QString();
    QTest::newRow("parallel port without number") << 73 << QString();
}

void TestHardwareEditors::rowsWithoutEditor()
{
    QFETCH(int, icon);
    QFETCH(QString, number);
    start();
    const QByteArray before = fileBytes(m_vm);
    m_editors->edit(icon, number);
    QVERIFY(m_script->shown().isEmpty());
    QCOMPARE(fileBytes(m_vm), before);
    QCOMPARE(m_context->refreshes, 0);
}

void TestHardwareEditors::nothingWithoutSelectedVM()
{
    TMain window;
    QVERIFY(window.selectedVM().isEmpty());
    HardwareEditors editors(window, &window);
    m_script->clear();
    for (int icon : {0, 2, 3, 4, 14, 58, 82})
        editors.edit(icon, s("1"));
    QVERIFY(m_script->shown().isEmpty());
}

void TestHardwareEditors::dialogsAreReused()
{
    start();
    QList<QDialog*> seen;
    const auto record = [&seen](QDialog& dialog) {
        seen.append(&dialog);
        return pressCancel(dialog);
    };
    for (int i = 0; i < 8; ++i)
        m_script->answerDialog(record);
    for (int icon : {2, 2, 58, 71, 4, 45, 72, 72})
        m_editors->edit(icon, s("1"));
    QCOMPARE(seen.size(), 8);
    QCOMPARE(seen.at(0), seen.at(1));
    QCOMPARE(seen.at(2), seen.at(3)); // CPU and machine rows share the dialog
    QCOMPARE(seen.at(4), seen.at(5)); // so do the yes/no rows
    QCOMPARE(seen.at(6), seen.at(7));
    QVERIFY(seen.at(0) != seen.at(2));
}

void TestHardwareEditors::yesNoRows_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("answer");

    QTest::newRow("USB on to off") << 4 << s("Enable USB Support ?") << s("Hardware")
                                   << s("Enable USB") << s("Yes") << s("Yes") << s("No");
    QTest::newRow("USB lower case yes reads as No")
        << 4 << s("Enable USB Support ?") << s("Hardware") << s("Enable USB") << s("yes") << s("No")
        << s("Yes");
    QTest::newRow("networking off to on") << 45 << s("Enable Networking ?") << s("Hardware")
                                          << s("Network") << s("No") << s("No") << s("Yes");
    QTest::newRow("bluetooth absent") << 75 << s("Enable Bluetooth ?") << s("Hardware")
                                      << s("Enable Bluetooth") << QString() << s("No") << s("Yes");
    QTest::newRow("bluetooth keyboard") << 76 << s("Enable Bluetooth Keyboard ?") << s("Hardware")
                                        << s("BTKeyboard") << s("Yes") << s("Yes") << s("No");
}

void TestHardwareEditors::yesNoRows()
{
    QFETCH(int, icon);
    QFETCH(QString, question);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, preset);
    QFETCH(QString, answer);
    start({{section, key, stored}});
    m_script->answerDialog([&](QDialog& dialog) {
        YesNoDialog* yesNo = as<YesNoDialog>(dialog);
        if (!yesNo)
            return int(QDialog::Rejected);
        [&] {
            QCOMPARE(yesNo->question(), question);
            QCOMPARE(items(yesNo->list()), (QStringList{s("Yes"), s("No")}));
            QCOMPARE(yesNo->answer(), preset);
        }();
        yesNo->list()->setCurrentText(answer);
        return pressOk(dialog);
    });
    m_editors->edit(icon, QString());
    QCOMPARE(ReadVMFileValue(m_vm, section, key), answer);
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::soundSwitch_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("expected"); // Enable Sound, SoundCard, SoundID, SID

    QTest::newRow("on again returns to row 0")
        << s("Yes") << s("Yes")
        << QStringList{s("Yes"), s("ENSONIQ AudioPCI ES1370"), s("0"), s("es1370")};
    QTest::newRow("off to on") << s("No") << s("Yes")
                               << QStringList{s("Yes"), s("ENSONIQ AudioPCI ES1370"), s("0"),
                                              s("es1370")};
    QTest::newRow("on to off keeps SID")
        << s("Yes") << s("No") << QStringList{s("No"), QString(), s("-1"), s("adlib")};
}

void TestHardwareEditors::soundSwitch()
{
    QFETCH(QString, stored);
    QFETCH(QString, answer);
    QFETCH(QStringList, expected);
    start({{s("Audio"), s("Enable Sound"), stored}});
    QString question;
    QString preset;
    m_script->answerDialog([&](QDialog& dialog) {
        YesNoDialog* yesNo = as<YesNoDialog>(dialog);
        if (!yesNo)
            return int(QDialog::Rejected);
        question = yesNo->question();
        preset = yesNo->answer();
        yesNo->list()->setCurrentText(answer);
        return pressOk(dialog);
    });
    m_editors->edit(19, QString());
    QCOMPARE(question, s("Enable Sound Devices ?"));
    QCOMPARE(preset, stored);
    QCOMPARE((QStringList{read("Audio", "Enable Sound"), read("Audio", "SoundCard"),
                          read("Audio", "SoundID"), read("Audio", "SID")}),
             expected);
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::memory()
{
    Host::overridePhysicalMemoryMB(1024);
    start();
    m_script->answerDialog([](QDialog& dialog) {
        MemoryDialog* memory = as<MemoryDialog>(dialog);
        if (!memory)
            return int(QDialog::Rejected);
        [&] {
            QCOMPARE(memory->spinBox()->value(), 256);
            QCOMPARE(memory->spinBox()->singleStep(), 4);
            QCOMPARE(memory->spinBox()->minimum(), 4);
            QCOMPARE(memory->spinBox()->maximum(), 1024);
        }();
        memory->spinBox()->stepBy(2);
        return pressOk(dialog);
    });
    m_editors->edit(2, QString());
    QCOMPARE(read("Hardware", "RAM"), s("264"));
    QCOMPARE(m_context->refreshes, 1);

    // Typed text counts, and a value that is not a number opens at 128 MB.
    QVERIFY(WriteVMFileValue(m_vm, s("Hardware"), s("RAM"), s("plenty")));
    int opened = 0;
    m_script->answerDialog([&opened](QDialog& dialog) {
        MemoryDialog* memory = as<MemoryDialog>(dialog);
        if (!memory)
            return int(QDialog::Rejected);
        opened = memory->spinBox()->value();
        memory->spinBox()->findChild<QLineEdit*>()->setText(s("1000"));
        return pressOk(dialog);
    });
    m_editors->edit(2, QString());
    QCOMPARE(opened, 128);
    QCOMPARE(read("Hardware", "RAM"), s("1000"));
}

void TestHardwareEditors::processors()
{
    start({key("Hardware", "Processors", "2")});
    int opened = 0;
    int maximum = 0;
    m_script->answerDialog([&](QDialog& dialog) {
        ProcessorsDialog* processors = as<ProcessorsDialog>(dialog);
        if (!processors)
            return int(QDialog::Rejected);
        opened = processors->spinBox()->value();
        maximum = processors->spinBox()->maximum();
        processors->spinBox()->setValue(4);
        return pressOk(dialog);
    });
    m_editors->edit(3, QString());
    QCOMPARE(opened, 2);
    QCOMPARE(maximum, 255);
    QCOMPARE(read("Hardware", "Processors"), s("4"));
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::cpuTypeKeepsStoredIdentifiers_data()
{
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("mid");
    QTest::newRow("PCI machine") << s("Standard PCI Based PC") << s("pc");
    QTest::newRow("ISA machine") << s("Standard ISA Based PC") << s("isapc");
}

void TestHardwareEditors::cpuTypeKeepsStoredIdentifiers()
{
    QFETCH(QString, machine);
    QFETCH(QString, mid);
    start({key("Hardware", "CPUArc", "64 Bit"),
           key("Hardware", "CPUType", "Core Duo"),
           key("Hardware", "CID", "stale"),
           {s("Hardware"), s("MachineType"), machine},
           {s("Hardware"), s("MID"), mid}});
    const QStringList cards = cardModels();
    QStringList shown;
    m_script->answerDialog([&](QDialog& dialog) {
        CpuTypeDialog* cpu = as<CpuTypeDialog>(dialog);
        if (!cpu)
            return int(QDialog::Rejected);
        shown = {cpu->bitnessList()->currentText(), cpu->machineList()->currentText(),
                 cpu->cpuList()->currentText()};
        return pressOk(dialog);
    });
    m_editors->edit(58, QString());
    QCOMPARE(shown, (QStringList{s("64 Bit"), machine, s("Core Duo")}));
    QCOMPARE(read("Hardware", "CID"), s("coreduo"));
    QCOMPARE(read("Hardware", "MID"), mid);
    QCOMPARE(read("Hardware", "CPUType"), s("Core Duo"));
    QCOMPARE(read("General", "Qemu EXE"), s("qemu-system-x86_64.exe"));
    QCOMPARE(cardModels(), cards);
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::cpuTypeBitnessChange()
{
    start({key("Hardware", "CPUType", "Athlon"), key("Hardware", "CID", "athlon")});
    QStringList shown;
    QStringList machines;
    m_script->answerDialog([&](QDialog& dialog) {
        CpuTypeDialog* cpu = as<CpuTypeDialog>(dialog);
        if (!cpu)
            return int(QDialog::Rejected);
        cpu->bitnessList()->setCurrentIndex(1);
        shown = {cpu->machineList()->currentText(), cpu->cpuList()->currentText()};
        machines = items(cpu->machineList());
        return pressOk(dialog);
    });
    m_editors->edit(58, QString());
    QCOMPARE(shown, (QStringList{s("Standard PCI Based PC"), s("Qemu 64 Bit")}));
    QCOMPARE(machines, (QStringList{s("Standard PCI Based PC"), s("Standard ISA Based PC"),
                                    s("Standard PC (Q35 + ICH9, 2009)")}));
    QCOMPARE(read("Hardware", "CPUArc"), s("64 Bit"));
    QCOMPARE(read("Hardware", "CPUType"), s("Qemu 64 Bit"));
    QCOMPARE(read("Hardware", "CID"), s("qemu64"));
    QCOMPARE(read("Hardware", "MachineType"), s("Standard PCI Based PC"));
    QCOMPARE(read("Hardware", "MID"), s("pc"));
    QCOMPARE(read("General", "Qemu EXE"), s("qemu-system-x86_64.exe"));
}

void TestHardwareEditors::cpuTypeColdfire()
{
    start({key("General", "Arc", "cf"), key("Hardware", "CPUType", "Default"),
           key("Hardware", "MachineType", "Arnewsh 5206"), key("Hardware", "MID", "an5206")});
    QStringList bitness;
    m_script->answerDialog([&](QDialog& dialog) {
        CpuTypeDialog* cpu = as<CpuTypeDialog>(dialog);
        if (!cpu)
            return int(QDialog::Rejected);
        bitness = items(cpu->bitnessList());
        return pressOk(dialog);
    });
    m_editors->edit(71, QString());
    QCOMPARE(bitness, QStringList{s("32 Bit")});
    QCOMPARE(read("General", "Qemu EXE"), s("qemu-system-m68k.exe"));
    QCOMPARE(read("Hardware", "MID"), s("an5206"));
    QCOMPARE(read("Hardware", "CID"), s("default"));
}

void TestHardwareEditors::cpuTypeResetsCards_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<int>("bitness");   // -1: unchanged
    QTest::addColumn<int>("machine");   // -1: unchanged
    QTest::addColumn<int>("cpu");       // -1: unchanged
    QTest::addColumn<QString>("model"); // "Lan Card|Lan Card ID|LID" of both; empty: untouched

    QTest::newRow("x86 PCI to ISA") << 71 << Keys{} << -1 << 1 << -1 << s("NE2000 ISA|0|ne2k_isa");
    QTest::newRow("x86 ISA to PCI") << 71
                                    << Keys{key("Hardware", "MachineType", "Standard ISA Based PC"),
                                            key("Hardware", "MID", "isapc")}
                                    << -1 << 0 << -1 << s("Realtek 8139|0|rtl8139");
    QTest::newRow("x86 unchanged") << 58 << Keys{} << -1 << -1 << -1 << QString();
    QTest::newRow("x86 CPU only") << 58 << Keys{} << -1 << -1 << 3 << QString();
    QTest::newRow("x86 to 64 Bit on the PC") << 58 << Keys{} << 1 << -1 << -1 << QString();
    const Keys sparc = {key("General", "Arc", "sparc"), key("Hardware", "CPUType", "Qemu Default"),
                        key("Hardware", "MachineType", "Sun4m platform, SPARCstation 5 (default)"),
                        key("Hardware", "MID", "SS-5")};
    QTest::newRow("sparc 32 unchanged") << 58 << sparc << -1 << -1 << -1 << s("Lance|0|lance");
    QTest::newRow("sparc 32 to 64") << 58 << sparc << 1 << -1 << -1 << s("NE2000 PCI|0|ne2k_pci");
    QTest::newRow("sparc 64 unchanged")
        << 71
        << Keys{key("General", "Arc", "sparc"), key("Hardware", "CPUArc", "64 Bit"),
                key("Hardware", "MachineType", "Sun4u platform (default)"),
                key("Hardware", "MID", "sun4u")}
        << -1 << -1 << -1 << s("NE2000 PCI|0|ne2k_pci");
}

void TestHardwareEditors::cpuTypeResetsCards()
{
    QFETCH(int, icon);
    QFETCH(Keys, stored);
    QFETCH(int, bitness);
    QFETCH(int, machine);
    QFETCH(int, cpu);
    QFETCH(QString, model);
    start(stored);
    const QStringList before = cardModels();
    m_script->answerDialog([&](QDialog& dialog) {
        CpuTypeDialog* cpuType = as<CpuTypeDialog>(dialog);
        if (!cpuType)
            return int(QDialog::Rejected);
        if (bitness >= 0)
            cpuType->bitnessList()->setCurrentIndex(bitness);
        if (machine >= 0)
            cpuType->machineList()->setCurrentIndex(machine);
        if (cpu >= 0)
            cpuType->cpuList()->setCurrentIndex(cpu);
        return pressOk(dialog);
    });
    m_editors->edit(icon, QString());
    if (model.isEmpty()) {
        QCOMPARE(cardModels(), before);
        QCOMPARE(m_context->refreshes, 1);
    } else {
        QCOMPARE(cardModels(), (QStringList{model, model}));
        QCOMPARE(m_context->refreshes, 2);
    }
    // The rest of a card stays as it was.
    QCOMPARE(read("Network Card 2", "MAC"), s("52-54-00-65-43-21"));
    QCOMPARE(read("Network Card 2", "VLAN"), s("1"));
}

void TestHardwareEditors::mainDisplayRefusesIntegrated()
{
    addVersion(*m_folder, s("flat"), s("No INT"), s("No"));
    start({key("General", "Qemu Version ID", "flat"), key("Hardware", "VNC Number", "1")});
    QStringList modes;
    int firstPress = -1;
    int afterRefusal = -1;
    bool panelAfterRefusal = true;
    bool panelForVnc = false;
    m_script->answerDialog([&](QDialog& dialog) {
        MainDisplayDialog* display = as<MainDisplayDialog>(dialog);
        if (!display)
            return int(QDialog::Rejected);
        modes = items(display->modeList());
        display->modeList()->setCurrentIndex(0);
        firstPress = pressOk(dialog);
        afterRefusal = display->modeList()->currentIndex();
        panelAfterRefusal = !display->vncPanel()->isHidden();
        display->modeList()->setCurrentIndex(2);
        panelForVnc = !display->vncPanel()->isHidden();
        display->vncNumberBox()->setValue(3);
        return pressOk(dialog);
    });
    m_editors->edit(14, QString());
    QCOMPARE(modes, (QStringList{s("Vimor (NOT AVAILABLE)"), s("QEMU Window"), s("VNC Client"),
                                 s("Full Screen Display")}));
    QCOMPARE(firstPress, int(QDialog::Rejected));
    QCOMPARE(afterRefusal, 1);
    QVERIFY(!panelAfterRefusal);
    QVERIFY(panelForVnc);
    const QList<ScriptedInteraction::Shown> shown = m_script->shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(1).kind, s("error"));
    QCOMPARE(shown.at(1).text,
             s("You cannot use the Vimor as the main display, with the selected version of QEMU"));
    QCOMPARE(read("Hardware", "OutputID"), s("2"));
    QCOMPARE(read("Hardware", "Output"), s("VNC Client"));
    QCOMPARE(read("Hardware", "VNC Number"), s("3"));
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::mainDisplayRemembersOpenedList()
{
    addVersion(*m_folder, s("flat"), s("No INT"), s("No"));
    start({key("General", "Qemu Version ID", "flat")});
    int afterRefusal = -1;
    m_script->answerDialog([&](QDialog& dialog) {
        MainDisplayDialog* display = as<MainDisplayDialog>(dialog);
        if (!display)
            return int(QDialog::Rejected);
        display->modeList()->setCurrentIndex(3);
        // Opening the list remembers what it showed: full screen, not the stored window mode.
        display->modeList()->showPopup();
        display->modeList()->hidePopup();
        display->modeList()->setCurrentIndex(0);
        pressOk(dialog);
        afterRefusal = display->modeList()->currentIndex();
        return pressCancel(dialog);
    });
    m_editors->edit(14, QString());
    QCOMPARE(afterRefusal, 3);
    QCOMPARE(read("Hardware", "OutputID"), s("1"));
}

void TestHardwareEditors::mainDisplayIntegrated()
{
    start({key("Hardware", "OutputID", "2"), key("Hardware", "Output", "VNC Client"),
           key("Hardware", "VNC Number", "7")});
    QString first;
    int vncNumber = -1;
    bool panel = false;
    m_script->answerDialog([&](QDialog& dialog) {
        MainDisplayDialog* display = as<MainDisplayDialog>(dialog);
        if (!display)
            return int(QDialog::Rejected);
        first = display->modeList()->itemText(0);
        vncNumber = display->vncNumberBox()->value();
        panel = !display->vncPanel()->isHidden();
        display->modeList()->setCurrentIndex(0);
        return pressOk(dialog);
    });
    m_editors->edit(14, QString());
    QCOMPARE(first, s("Vimor (Default)"));
    QCOMPARE(vncNumber, 7);
    QVERIFY(panel);
    QCOMPARE(read("Hardware", "OutputID"), s("0"));
    QCOMPARE(read("Hardware", "Output"), s("Vimor (Default)"));
    QCOMPARE(read("Hardware", "VNC Number"), s("7"));
    QVERIFY(m_script->shownTexts().size() == 1); // no error box
}

void TestHardwareEditors::soundCard()
{
    // No stored position: row 0 even though "SoundCard" names another card.
    start({key("Audio", "SoundID", ""), key("Audio", "Enable Sound", "Yes")});
    QString opened;
    m_script->answerDialog([&](QDialog& dialog) {
        DeviceChoiceDialog* cards = as<DeviceChoiceDialog>(dialog);
        if (!cards)
            return int(QDialog::Rejected);
        opened = cards->list()->currentText();
        cards->list()->setCurrentText(s("PC Speaker"));
        return pressOk(dialog);
    });
    m_editors->edit(59, QString());
    QCOMPARE(opened, s("ENSONIQ AudioPCI ES1370"));
    QCOMPARE(read("Audio", "SoundCard"), s("PC Speaker"));
    QCOMPARE(read("Audio", "SoundID"), s("3"));
    QCOMPARE(read("Audio", "SID"), s("pcspk"));
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::videoCard()
{
    start({key("Hardware", "Video Card", "VMWare SVGA-II"), key("Hardware", "VideoID", "2")});
    QString opened;
    m_script->answerDialog([&](QDialog& dialog) {
        DeviceChoiceDialog* cards = as<DeviceChoiceDialog>(dialog);
        if (!cards)
            return int(QDialog::Rejected);
        opened = cards->list()->currentText();
        cards->list()->setCurrentIndex(3);
        return pressOk(dialog);
    });
    m_editors->edit(60, QString());
    QCOMPARE(opened, s("VMWare SVGA-II"));
    QCOMPARE(read("Hardware", "Video Card"), s("None"));
    QCOMPARE(read("Hardware", "VideoID"), s("3"));
    QCOMPARE(read("Hardware", "VID"), s("none"));
}

void TestHardwareEditors::serialTcpToConsole()
{
    start();
    int port = 0;
    QString ip;
    bool listen = false;
    bool tcpPanel = false;
    bool anyPanelAfter = true;
    m_script->answerDialog([&](QDialog& dialog) {
        SerialPortDialog* serial = as<SerialPortDialog>(dialog);
        if (!serial)
            return int(QDialog::Rejected);
        port = serial->portBox()->value();
        ip = serial->ipBox()->text();
        listen = serial->listenBox()->isChecked();
        tcpPanel = !serial->tcpPanel()->isHidden() && serial->physicalPanel()->isHidden() &&
                   serial->filePanel()->isHidden();
        serial->types()->button(0)->click();
        anyPanelAfter = !serial->tcpPanel()->isHidden() || !serial->physicalPanel()->isHidden() ||
                        !serial->filePanel()->isHidden();
        return pressOk(dialog);
    });
    m_editors->edit(72, s("1"));
    QCOMPARE(port, 4444);
    QCOMPARE(ip, s("10.0.2.2"));
    QVERIFY(listen);
    QVERIFY(tcpPanel);
    QVERIFY(!anyPanelAfter);
    QCOMPARE(read("Serial Port 1", "Serial"), s("Console"));
    QCOMPARE(read("Serial Port 1", "SerialTy"), s("0"));
    QCOMPARE(read("Serial Port 1", "IP"), s("10.0.2.2"));
    QCOMPARE(read("Serial Port 1", "Port"), s("4444"));
    QCOMPARE(read("Serial Port 1", "listen"), s("1"));
    QCOMPARE(read("Serial Port 1", "wait"), s("0"));
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::serialFileChooser()
{
    start();
    const QString chosen = m_folder->file(s("capture"));
    QString boxAfterChoice;
    QString boxAfterCancel;
    bool filePanel = false;
    m_script->answerDialog([&](QDialog& dialog) {
        SerialPortDialog* serial = as<SerialPortDialog>(dialog);
        if (!serial)
            return int(QDialog::Rejected);
        serial->types()->button(2)->click();
        filePanel = !serial->filePanel()->isHidden() && serial->tcpPanel()->isHidden();
        m_script->answerText(chosen);
        serial->BrowseClick();
        boxAfterChoice = serial->fileBox()->text();
        m_script->answerText(std::nullopt);
        serial->BrowseClick();
        boxAfterCancel = serial->fileBox()->text();
        return pressOk(dialog);
    });
    m_editors->edit(72, s("1"));
    QVERIFY(filePanel);
    QCOMPARE(boxAfterChoice, chosen + s(".txt"));
    QCOMPARE(boxAfterCancel, chosen + s(".txt"));
    const QList<ScriptedInteraction::Shown> shown = m_script->shown();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown.at(1).kind, s("save"));
    QCOMPARE(shown.at(1).title, s("Save File To"));
    QCOMPARE(read("Serial Port 1", "Serial"), chosen + s(".txt"));
    QCOMPARE(read("Serial Port 1", "SerialTy"), s("2"));
    QCOMPARE(read("Serial Port 1", "Port"), s("4444"));
}

void TestHardwareEditors::serialHostPorts()
{
    start({key("Serial Port 1", "SerialTy", "1"), key("Serial Port 1", "Serial", "COM9")});
    const QStringList host = ListHostSerialPorts();
    QStringList offered;
    QString selected = s("<unset>");
    bool physicalPanel = false;
    m_script->answerDialog([&](QDialog& dialog) {
        SerialPortDialog* serial = as<SerialPortDialog>(dialog);
        if (!serial)
            return int(QDialog::Rejected);
        offered = items(serial->hostPortList());
        selected = serial->hostPortList()->currentText();
        physicalPanel = !serial->physicalPanel()->isHidden();
        return pressOk(dialog);
    });
    m_editors->edit(72, s("1"));
    QCOMPARE(offered, host);
    // A port the host no longer has gives way to the host's first one (none on a host without).
    QCOMPARE(selected, host.value(0));
    QVERIFY(physicalPanel);
    QCOMPARE(read("Serial Port 1", "Serial"), host.value(0));
    QCOMPARE(read("Serial Port 1", "SerialTy"), s("1"));
}

void TestHardwareEditors::serialTcpWrite()
{
    start({key("Serial Port 2", "SerialTy", "0"), key("Serial Port 2", "Serial", "Console"),
           key("Serial Port 2", "IP", "0.0.0.0"), key("Serial Port 2", "Port", "4444"),
           key("Serial Port 2", "listen", "0"), key("Serial Port 2", "wait", "0")});
    m_script->answerDialog([&](QDialog& dialog) {
        SerialPortDialog* serial = as<SerialPortDialog>(dialog);
        if (!serial)
            return int(QDialog::Rejected);
        serial->types()->button(3)->click();
        serial->ipBox()->clear();
        QTest::keyClicks(serial->ipBox(), s("192.168.x1.7 "));
        serial->portBox()->setValue(5555);
        serial->waitBox()->setChecked(true);
        serial->listenBox()->setChecked(true);
        return pressOk(dialog);
    });
    m_editors->edit(72, s("2"));
    QCOMPARE(read("Serial Port 2", "Serial"), s("TCP"));
    QCOMPARE(read("Serial Port 2", "SerialTy"), s("3"));
    // Only digits and dots get into the address box, and it is saved as four fields.
    QCOMPARE(read("Serial Port 2", "IP"), s("192.168.1.7"));
    QCOMPARE(read("Serial Port 2", "Port"), s("5555"));
    QCOMPARE(read("Serial Port 2", "wait"), s("1"));
    QCOMPARE(read("Serial Port 2", "listen"), s("1"));
    QCOMPARE(read("Serial Port 1", "Port"), s("4444"));
}

void TestHardwareEditors::serialTypeKeptBetweenOpenings()
{
    start({key("Serial Port 2", "SerialTy", ""), key("Serial Port 2", "Serial", "/tmp/two.txt")});
    m_script->answerDialog([](QDialog& dialog) {
        SerialPortDialog* serial = as<SerialPortDialog>(dialog);
        if (!serial)
            return int(QDialog::Rejected);
        serial->types()->button(2)->click();
        serial->fileBox()->setText(s("/tmp/one.txt"));
        return pressCancel(dialog);
    });
    m_editors->edit(72, s("1"));
    int type = -1;
    QString file;
    m_script->answerDialog([&](QDialog& dialog) {
        SerialPortDialog* serial = as<SerialPortDialog>(dialog);
        if (!serial)
            return int(QDialog::Rejected);
        type = serial->type();
        file = serial->fileBox()->text();
        return pressOk(dialog);
    });
    m_editors->edit(72, s("2"));
    QCOMPARE(type, 2);
    QCOMPARE(file, s("/tmp/two.txt"));
    QCOMPARE(read("Serial Port 2", "SerialTy"), s("2"));
    QCOMPARE(read("Serial Port 2", "Serial"), s("/tmp/two.txt"));
}

void TestHardwareEditors::parallelPort()
{
    start();
    bool panelForConsole = true;
    bool panelForFile = false;
    m_script->answerDialog([&](QDialog& dialog) {
        ParallelPortDialog* parallel = as<ParallelPortDialog>(dialog);
        if (!parallel)
            return int(QDialog::Rejected);
        panelForConsole = !parallel->filePanel()->isHidden();
        parallel->types()->button(1)->click();
        panelForFile = !parallel->filePanel()->isHidden();
        m_script->answerText(s("/tmp/printer.prn"));
        parallel->BrowseClick();
        return pressOk(dialog);
    });
    m_editors->edit(73, s("1"));
    QVERIFY(!panelForConsole);
    QVERIFY(panelForFile);
    QCOMPARE(read("Parallel Port 1", "Parallel"), s("/tmp/printer.prn"));
    QCOMPARE(read("Parallel Port 1", "ParallelTy"), s("1"));

    QString file;
    m_script->answerDialog([&](QDialog& dialog) {
        ParallelPortDialog* parallel = as<ParallelPortDialog>(dialog);
        if (!parallel)
            return int(QDialog::Rejected);
        file = parallel->fileBox()->text();
        parallel->types()->button(0)->click();
        return pressOk(dialog);
    });
    m_editors->edit(73, s("1"));
    QCOMPARE(file, s("/tmp/printer.prn"));
    QCOMPARE(read("Parallel Port 1", "Parallel"), s("Console"));
    QCOMPARE(read("Parallel Port 1", "ParallelTy"), s("0"));
    QCOMPARE(m_context->refreshes, 2);
}

void TestHardwareEditors::versionChoice_data()
{
    QTest::addColumn<bool>("dropSelected");
    QTest::addColumn<int>("afterConfigure");
    QTest::newRow("selected version stays") << false << 2;
    QTest::newRow("selected version deleted") << true << -1;
}

void TestHardwareEditors::versionChoice()
{
    QFETCH(bool, dropSelected);
    QFETCH(int, afterConfigure);
    addVersion(*m_folder, s("v2"), s("Second"), s("No"));
    addVersion(*m_folder, s("v2"), s("Second again"), s("No"));
    start({key("General", "Qemu Version ID", "v2")});
    int configured = 0;
    m_editors->configureVersions = [&] {
        ++configured;
        addVersion(*m_folder, s("v3"), s("Third"), s("Yes"));
        if (dropSelected)
            deleteVersions(*m_folder, s("v2"));
    };
    QStringList before;
    bool closedAfterFill = false;
    int openedAt = -1;
    QStringList after;
    int selectedAfter = -2;
    QString tab;
    m_script->answerDialog([&](QDialog& dialog) {
        QemuVersionDialog* version = as<QemuVersionDialog>(dialog);
        if (!version)
            return int(QDialog::Rejected);
        closedAfterFill = !m_window->table(VMContext::Table::VRVers).isOpen();
        before = items(version->list());
        openedAt = version->list()->currentIndex();
        tab = dialog.findChild<QTabWidget*>()->tabText(0);
        version->configureButton()->click();
        after = items(version->list());
        selectedAfter = version->list()->currentIndex();
        version->list()->setCurrentText(s("Third"));
        return pressOk(dialog);
    });
    m_editors->edit(82, QString());
    QCOMPARE(tab, s("Qemu Version"));
    QCOMPARE(before, (QStringList{s("Test QEMU"), s("Second"), s("Second again")}));
    QCOMPARE(openedAt, 2); // the last of the rows with the VM's identifier
    QCOMPARE(configured, 1);
    QCOMPARE(after, (dropSelected ? QStringList{s("Test QEMU"), s("Third")}
                                  : QStringList{s("Test QEMU"), s("Second"), s("Second again"),
                                                s("Third")}));
    QCOMPARE(selectedAfter, afterConfigure);
    QVERIFY(closedAfterFill);
    QCOMPARE(read("General", "Qemu Version"), s("Third"));
    QCOMPARE(read("General", "Qemu Version ID"), s("v3"));
    QCOMPARE(m_context->refreshes, 1);
}

void TestHardwareEditors::operatingSystem()
{
    addOperatingSystems(*m_folder, {s("Linux"), s("Windows XP"), s("Linux")});
    start({key("General", "Operating System", "Plan 9")});
    QStringList offered;
    QString text;
    int row = -2;
    m_script->answerDialog([&](QDialog& dialog) {
        OperatingSystemDialog* os = as<OperatingSystemDialog>(dialog);
        if (!os)
            return int(QDialog::Rejected);
        offered = items(os->box());
        text = os->text();
        row = os->box()->currentIndex();
        return pressOk(dialog);
    });
    m_editors->edit(0, QString());
    QCOMPARE(offered, (QStringList{s("Linux"), s("Windows XP"), s("Linux")}));
    // A name typed earlier is shown and kept, not emptied by an OK without change.
    QCOMPARE(row, -1);
    QCOMPARE(text, s("Plan 9"));
    QCOMPARE(read("General", "Operating System"), s("Plan 9"));

    m_script->answerDialog([&](QDialog& dialog) {
        OperatingSystemDialog* os = as<OperatingSystemDialog>(dialog);
        if (!os)
            return int(QDialog::Rejected);
        os->box()->setCurrentIndex(2);
        os->box()->setEditText(s("Haiku R1"));
        return pressOk(dialog);
    });
    m_editors->edit(0, QString());
    QCOMPARE(read("General", "Operating System"), s("Haiku R1"));

    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("Operating System"), s("Linux")));
    m_script->answerDialog([&](QDialog& dialog) {
        OperatingSystemDialog* os = as<OperatingSystemDialog>(dialog);
        if (!os)
            return int(QDialog::Rejected);
        row = os->box()->currentIndex();
        return pressCancel(dialog);
    });
    m_editors->edit(0, QString());
    QCOMPARE(row, 2);
    QCOMPARE(m_context->refreshes, 2);
}

void TestHardwareEditors::storeFolder()
{
    start();
    QStringList opened;
    m_editors->openFolder = [&opened](const QString& folder) {
        opened.append(folder);
        return true;
    };
    const QByteArray before = fileBytes(m_vm);
    m_editors->edit(5, QString());
    QCOMPARE(opened.size(), 1);
    QCOMPARE(QDir(opened.first()).canonicalPath(), QDir(m_folder->file(s("VMs"))).canonicalPath());

    // A VM whose store was deleted: nothing happens.
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("VM Store ID"), s("gone")));
    const QByteArray unstored = fileBytes(m_vm);
    m_editors->edit(5, QString());
    QCOMPARE(opened.size(), 1);
    QCOMPARE(fileBytes(m_vm), unstored);
    QVERIFY(before != unstored);
    QVERIFY(m_script->shown().isEmpty());
    QCOMPARE(m_context->refreshes, 0);
}

// The firmware editor makes the VM's variable store through the real firmware descriptors and
// qemu-img; the disk-bus editor writes its disk's key.
void TestHardwareEditors::firmwareAndDiskBus()
{
    if (!QFileInfo::exists(s("/usr/share/qemu/firmware/60-edk2-x86_64.json")))
        QSKIP("ovmf is needed");
    start({{s("Hardware"), s("MID"), s("q35")}});
    const auto choose = [this](const QString& text) {
        m_script->answerDialog([text](QDialog& dialog) {
            auto* choice = as<AdvancedChoiceDialog>(dialog);
            if (!choice)
                return int(QDialog::Rejected);
            choice->list()->setCurrentText(text);
            return pressOk(dialog);
        });
    };
    choose(s("UEFI"));
    m_editors->edit(ModernHardwareEditing::FirmwareIcon, QString());
    QCOMPARE(m_script->shownTexts().filter(s("rror")), QStringList());
    QCOMPARE(read("Hardware", "Firmware"), s("UEFI"));
    QVERIFY(QFileInfo(m_folder->file(s("VMs/test.efivars.qcow2"))).isFile());
    QCOMPARE(read("Hardware", "Firmware Vars"), s("test.efivars.qcow2"));

    choose(s("SATA"));
    m_editors->edit(ModernHardwareEditing::FirstDiskBusIcon + 1, QString());
    QCOMPARE(read("Drives", "HDB Bus"), s("SATA"));
    QCOMPARE(m_context->refreshes, 2);
}

QTEST_MAIN(TestHardwareEditors)
#include "tst_hardwareeditors.moc"

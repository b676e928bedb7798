#include "settings/ui/HardwareEditors.h"

#include "devices/CardModels.h"
#include "model/VMContext.h"
#include "platform/SerialPorts.h"
#include "platform/Shell.h"
#include "platform/ui/Interaction.h"
#include "settings/HardwareEditing.h"
#include "settings/ModernHardwareEditing.h"
#include "settings/ui/AdvancedChoiceDialog.h"
#include "settings/ui/CpuTypeDialog.h"
#include "settings/ui/DeviceChoiceDialog.h"
#include "settings/ui/MainDisplayDialog.h"
#include "settings/ui/MemoryDialog.h"
#include "settings/ui/OperatingSystemDialog.h"
#include "settings/ui/ParallelPortDialog.h"
#include "settings/ui/ProcessorsDialog.h"
#include "settings/ui/QemuVersionDialog.h"
#include "settings/ui/SerialPortDialog.h"
#include "settings/ui/YesNoDialog.h"

#include <QGuiApplication>
#include <QScreen>

using namespace HardwareEditing;

namespace {

// Icon numbers of the rows, as the settings view gives them.
enum Icon
{
    OperatingSystemIcon = 0,
    MemoryIcon = 2,
    ProcessorsIcon = 3,
    StoreIcon = 5,
    DisplayIcon = 14,
    SoundOnIcon = 19,
    CpuTypeIcon = 58,
    SoundCardIcon = 59,
    VideoCardIcon = 60,
    MachineTypeIcon = 71,
    SerialPortIcon = 72,
    ParallelPortIcon = 73,
    VersionIcon = 82
};

} // namespace

HardwareEditors::HardwareEditors(VMContext& vm, QWidget* parent)
    : QObject(parent), openFolder(&Shell::open), m_vm(vm)
{
    m_yesNo = new YesNoDialog(parent);
    m_memory = new MemoryDialog(parent);
    m_processors = new ProcessorsDialog(parent);
    m_version = new QemuVersionDialog(parent);
    m_operatingSystem = new OperatingSystemDialog(parent);
    m_cpuType = new CpuTypeDialog(parent);
    m_display = new MainDisplayDialog(parent);
    m_soundCard = new DeviceChoiceDialog(QStringLiteral("Sound Devices"),
                                         QStringLiteral("Select a sound card"), parent);
    m_videoCard = new DeviceChoiceDialog(QStringLiteral("Video Adapter"),
                                         QStringLiteral("Select a video adapter"), parent);
    m_serialPort = new SerialPortDialog(parent);
    m_parallelPort = new ParallelPortDialog(parent);
    m_modernChoice = new AdvancedChoiceDialog(QString(), QString(), QString(), parent);
    connect(m_version, &QemuVersionDialog::configureRequested, this,
            &HardwareEditors::configureVersionsClick);
}

HardwareEditors::~HardwareEditors()
{
    // The dialogs belong to the window; whichever of the two goes first takes them along.
    delete m_yesNo;
    delete m_memory;
    delete m_processors;
    delete m_version;
    delete m_operatingSystem;
    delete m_cpuType;
    delete m_display;
    delete m_soundCard;
    delete m_videoCard;
    delete m_serialPort;
    delete m_parallelPort;
    delete m_modernChoice;
}

void HardwareEditors::edit(int icon, const QString& number)
{
    if (m_vm.selectedVM().isEmpty())
        return;
    if (YesNoRowOf(icon)) {
        editYesNo(icon);
        return;
    }
    switch (icon) {
    case OperatingSystemIcon:
        editOperatingSystem();
        break;
    case MemoryIcon:
        editMemory();
        break;
    case ProcessorsIcon:
        editProcessors();
        break;
    case StoreIcon:
        openStore();
        break;
    case DisplayIcon:
        editDisplay();
        break;
    case CpuTypeIcon:
    case MachineTypeIcon:
        editCpuType();
        break;
    case SoundCardIcon:
        editSoundCard();
        break;
    case VideoCardIcon:
        editVideoCard();
        break;
    case SerialPortIcon:
        editSerialPort(number);
        break;
    case ParallelPortIcon:
        editParallelPort(number);
        break;
    case VersionIcon:
        editVersion();
        break;
    default:
        if (!ModernHardwareEditing::PresetChoice(m_vm, icon).title.isEmpty())
            editModernChoice(icon);
        break;
    }
}

void HardwareEditors::editModernChoice(int icon)
{
    const ModernHardwareEditing::Choice choice = ModernHardwareEditing::PresetChoice(m_vm, icon);
    m_modernChoice->setWindowTitle(choice.title);
    m_modernChoice->setFrameTitle(choice.title);
    m_modernChoice->setLabel(choice.label);
    m_modernChoice->setItems(choice.items);
    m_modernChoice->select(choice.selected);
    if (!run(*m_modernChoice) || m_modernChoice->selectedPosition() < 0)
        return;
    QString error;
    // Making the firmware's variables or the TPM's state runs qemu-img or swtpm for a moment.
    if (!ModernHardwareEditing::SaveChoice(m_vm, icon, m_modernChoice->selectedPosition(),
                                           &error) &&
        !error.isEmpty())
        Interaction::error(m_vm.dialogParent(), error);
    m_vm.ShowSettings();
}

bool HardwareEditors::run(QDialog& dialog)
{
    return Interaction::current().execDialog(dialog) == QDialog::Accepted;
}

void HardwareEditors::editYesNo(int icon)
{
    const YesNoRow row = *YesNoRowOf(icon);
    m_yesNo->setQuestion(row.question);
    m_yesNo->preset(YesNoPreset(m_vm, row));
    if (!run(*m_yesNo))
        return;
    if (icon == SoundOnIcon)
        SaveSoundEnabled(m_vm, m_yesNo->answer());
    else
        SaveYesNo(m_vm, row, m_yesNo->answer());
    m_vm.ShowSettings();
}

void HardwareEditors::editMemory()
{
    const NumberRange range = MemoryRange();
    m_memory->load(MemoryPreset(m_vm), range.minimum, range.maximum);
    if (!run(*m_memory))
        return;
    SaveMemory(m_vm, m_memory->megabytes());
    m_vm.ShowSettings();
}

void HardwareEditors::editProcessors()
{
    const NumberRange range = ProcessorRange();
    m_processors->load(ProcessorsPreset(m_vm), range.minimum, range.maximum);
    if (!run(*m_processors))
        return;
    SaveProcessors(m_vm, m_processors->processors());
    m_vm.ShowSettings();
}

void HardwareEditors::editVersion()
{
    const QList<VersionRegistry::Version> versions =
        ListVersions(m_vm.table(VMContext::Table::VRVers));
    m_version->load(versions, LastVersionRow(versions, StoredVersionId(m_vm)));
    // This one dialog stands in the middle of the screen rather than of the window.
    m_version->adjustSize();
    const QWidget* owner = m_version->parentWidget();
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        m_version->move(screen->availableGeometry().center() - m_version->rect().center());
    if (!run(*m_version))
        return;
    SaveVersion(m_vm, m_version->selected());
    m_vm.ShowSettings();
}

void HardwareEditors::configureVersionsClick()
{
    const QString id = m_version->selected().id;
    if (configureVersions)
        configureVersions();
    const QList<VersionRegistry::Version> versions =
        ListVersions(m_vm.table(VMContext::Table::VRVers));
    m_version->load(versions, LastVersionRow(versions, id));
}

void HardwareEditors::editOperatingSystem()
{
    const OperatingSystemPreset preset = PresetOperatingSystem(m_vm);
    m_operatingSystem->load(preset.names, preset.row, preset.text);
    if (!run(*m_operatingSystem))
        return;
    SaveOperatingSystem(m_vm, m_operatingSystem->text());
    m_vm.ShowSettings();
}

void HardwareEditors::openStore()
{
    if (const std::optional<QString> folder = VMStoreFolder(m_vm); folder && openFolder)
        openFolder(*folder);
}

void HardwareEditors::editCpuType()
{
    m_cpuType->load(PresetCpuType(m_vm));
    if (!run(*m_cpuType))
        return;
    const bool resetCards = SaveCpuType(m_vm, m_cpuType->choice());
    m_vm.ShowSettings();
    if (resetCards) {
        ResetCardModels(m_vm);
        m_vm.ShowSettings();
    }
}

void HardwareEditors::editDisplay()
{
    m_display->load(PresetDisplay(m_vm));
    if (!run(*m_display))
        return;
    SaveDisplay(m_vm, m_display->mode(), m_display->vncNumber(), m_display->vncSocket());
    m_vm.ShowSettings();
}

void HardwareEditors::editSoundCard()
{
    const std::optional<CardPreset> preset = PresetCard(m_vm, CardKind::Sound);
    if (!preset)
        return;
    m_soundCard->load(preset->list, preset->row);
    if (!run(*m_soundCard))
        return;
    SaveCard(m_vm, CardKind::Sound, m_soundCard->choices(), m_soundCard->row());
    m_vm.ShowSettings();
}

void HardwareEditors::editVideoCard()
{
    const std::optional<CardPreset> preset = PresetCard(m_vm, CardKind::Video);
    if (!preset)
        return;
    m_videoCard->load(preset->list, preset->row);
    if (!run(*m_videoCard))
        return;
    SaveCard(m_vm, CardKind::Video, m_videoCard->choices(), m_videoCard->row());
    m_vm.ShowSettings();
}

void HardwareEditors::editSerialPort(const QString& number)
{
    if (number.isEmpty())
        return;
    m_serialPort->load(PresetSerialPort(m_vm, number, m_serialPort->type(), ListHostSerialPorts()));
    if (!run(*m_serialPort))
        return;
    SaveSerialPort(m_vm, number, m_serialPort->choice());
    m_vm.ShowSettings();
}

void HardwareEditors::editParallelPort(const QString& number)
{
    if (number.isEmpty())
        return;
    m_parallelPort->load(PresetParallelPort(m_vm, number, m_parallelPort->type()));
    if (!run(*m_parallelPort))
        return;
    SaveParallelPort(m_vm, number, m_parallelPort->type(), m_parallelPort->fileName());
    m_vm.ShowSettings();
}

#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class AdvancedChoiceDialog;
class CpuTypeDialog;
class DeviceChoiceDialog;
class MainDisplayDialog;
class MemoryDialog;
class OperatingSystemDialog;
class ParallelPortDialog;
class ProcessorsDialog;
class QDialog;
class QWidget;
class QemuVersionDialog;
class SerialPortDialog;
class VMContext;
class YesNoDialog;

// The editors of the "Hardware" list's rows, by the row's icon number. Each dialog is made once
// and reused, so a control an editor does not preset shows what it showed the last time. OK writes
// the selected VM's keys and refreshes the settings view; Cancel writes nothing.
class HardwareEditors final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HardwareEditors)

public:
    HardwareEditors(VMContext& vm, QWidget* parent);
    ~HardwareEditors() override;

    // Opens the editor of the row with that icon number; number is the card/port number of
    // numbered rows ("" otherwise). Does nothing for icons without an editor.
    void edit(int icon, const QString& number);

    // Called by the QEMU version dialog's "Configure QEMU Versions" button.
    std::function<void()> configureVersions;
    // Opens a folder in the desktop's file manager; Shell::open unless a test replaces it.
    std::function<bool(const QString&)> openFolder;

private:
    bool run(QDialog& dialog);
    void editYesNo(int icon);
    void editMemory();
    void editProcessors();
    void editVersion();
    void configureVersionsClick();
    void editOperatingSystem();
    void openStore();
    void editCpuType();
    void editDisplay();
    void editSoundCard();
    void editVideoCard();
    void editSerialPort(const QString& number);
    void editParallelPort(const QString& number);
    // The firmware, TPM and disk-bus rows: a list of choices each.
    void editModernChoice(int icon);

    VMContext& m_vm;
    QPointer<YesNoDialog> m_yesNo;
    QPointer<MemoryDialog> m_memory;
    QPointer<ProcessorsDialog> m_processors;
    QPointer<QemuVersionDialog> m_version;
    QPointer<OperatingSystemDialog> m_operatingSystem;
    QPointer<CpuTypeDialog> m_cpuType;
    QPointer<MainDisplayDialog> m_display;
    QPointer<DeviceChoiceDialog> m_soundCard;
    QPointer<DeviceChoiceDialog> m_videoCard;
    QPointer<SerialPortDialog> m_serialPort;
    QPointer<ParallelPortDialog> m_parallelPort;
    QPointer<AdvancedChoiceDialog> m_modernChoice;
};

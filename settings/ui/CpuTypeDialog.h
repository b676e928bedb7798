#pragma once

#include "settings/HardwareEditing.h"

#include <QDialog>

class QComboBox;

// The "CPU Type" dialog: word size, machine and CPU model of the VM's architecture. A change of
// word size offers that word size's machines and CPUs, with the first of each selected.
class CpuTypeDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CpuTypeDialog)

public:
    explicit CpuTypeDialog(QWidget* parent = nullptr);

    void load(const HardwareEditing::CpuTypeChoice& choice);
    const HardwareEditing::CpuTypeChoice& choice() const { return m_choice; }
    QComboBox* bitnessList() const { return m_bitness; }
    QComboBox* machineList() const { return m_machines; }
    QComboBox* cpuList() const { return m_cpus; }

private:
    void showLists(const HardwareEditing::CpuTypeChoice& choice);
    void bitnessChanged(int index);

    HardwareEditing::CpuTypeChoice m_choice;
    QComboBox* m_bitness = nullptr;
    QComboBox* m_machines = nullptr;
    QComboBox* m_cpus = nullptr;
};

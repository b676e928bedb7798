#include "settings/ui/CpuTypeDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

void fill(QComboBox* box, const ChoiceList& list, int row)
{
    box->clear();
    for (const ChoiceRow& choice : list)
        box->addItem(choice.display);
    box->setCurrentIndex(row);
}

} // namespace

CpuTypeDialog::CpuTypeDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("CPU Type"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("CPU Type"), this);
    auto* form = new QFormLayout(frame);
    m_bitness = new QComboBox(frame);
    m_machines = new QComboBox(frame);
    m_cpus = new QComboBox(frame);
    m_machines->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    form->addRow(QStringLiteral("CPU Bits:"), m_bitness);
    form->addRow(QStringLiteral("Machine Type:"), m_machines);
    form->addRow(QStringLiteral("CPU Type:"), m_cpus);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_bitness, &QComboBox::currentIndexChanged, this, &CpuTypeDialog::bitnessChanged);
    connect(m_machines, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_choice.machine = index; });
    connect(m_cpus, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_choice.cpu = index; });
}

void CpuTypeDialog::load(const HardwareEditing::CpuTypeChoice& choice)
{
    const QSignalBlocker blockBitness(m_bitness);
    m_bitness->clear();
    m_bitness->addItems(choice.bitness);
    m_bitness->setCurrentIndex(choice.bitnessIndex);
    showLists(choice);
}

void CpuTypeDialog::showLists(const HardwareEditing::CpuTypeChoice& choice)
{
    m_choice = choice;
    const QSignalBlocker blockMachines(m_machines);
    const QSignalBlocker blockCpus(m_cpus);
    fill(m_machines, choice.machines, choice.machine);
    fill(m_cpus, choice.cpus, choice.cpu);
}

void CpuTypeDialog::bitnessChanged(int index)
{
    showLists(HardwareEditing::WithBitness(m_choice, index));
}

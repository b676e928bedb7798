#include "settings/ui/MemoryDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

MemoryDialog::MemoryDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Memory"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Memory"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(
        new QLabel(QStringLiteral("Specify amount of RAM required for the VM."), frame));
    m_spin = new QSpinBox(frame);
    m_spin->setSingleStep(4);
    frameLayout->addWidget(m_spin);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void MemoryDialog::load(int megabytes, int minimum, int maximum)
{
    m_spin->setRange(minimum, maximum);
    m_spin->setValue(megabytes);
}

int MemoryDialog::megabytes()
{
    m_spin->interpretText();
    return m_spin->value();
}

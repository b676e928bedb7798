#include "settings/ui/ProcessorsDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

ProcessorsDialog::ProcessorsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Processors"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Processors"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(new QLabel(
        QStringLiteral("Specify the total amount of processors for the Virtual Machine"), frame));
    auto* row = new QHBoxLayout;
    m_spin = new QSpinBox(frame);
    row->addWidget(m_spin);
    row->addWidget(new QLabel(QStringLiteral("Processors."), frame));
    row->addStretch();
    frameLayout->addLayout(row);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void ProcessorsDialog::load(int processors, int minimum, int maximum)
{
    m_spin->setRange(minimum, maximum);
    m_spin->setValue(processors);
}

int ProcessorsDialog::processors()
{
    m_spin->interpretText();
    return m_spin->value();
}

#include "library/ui/ProfileEditorDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* sizeBox(int step, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setRange(OsProfiles::LowestSize, OsProfiles::HighestSize);
    box->setSingleStep(step);
    box->setAccelerated(true);
    return box;
}

} // namespace

ProfileEditorDialog::ProfileEditorDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Add New Operating System Defination"));
    auto* layout = new QVBoxLayout(this);

    auto* group = new QGroupBox(QStringLiteral("New Operating System Definition"), this);
    auto* grid = new QGridLayout(group);
    m_name = new QLineEdit(group);
    m_ram = sizeBox(4, group);
    m_disk = sizeBox(100, group);
    const auto addRow = [grid, group](int row, const QString& caption, QWidget* box) {
        auto* label = new QLabel(caption, group);
        label->setBuddy(box);
        grid->addWidget(label, row, 0);
        grid->addWidget(box, row, 1);
    };
    addRow(0, QStringLiteral("Operating System Name:"), m_name);
    addRow(1, QStringLiteral("Default Ram:"), m_ram);
    addRow(2, QStringLiteral("Default Drive Size:"), m_disk);
    grid->addWidget(new QLabel(QStringLiteral("MB."), group), 2, 2);
    grid->setColumnStretch(1, 1);
    layout->addWidget(group);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_create = new QPushButton(QStringLiteral("Create"), this);
    m_create->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(m_create);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    connect(m_create, &QPushButton::clicked, this, &ProfileEditorDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &ProfileEditorDialog::reject);

    preset({QString(), QString::number(OsProfiles::NewRam), QString::number(OsProfiles::NewDisk)});
}

void ProfileEditorDialog::preset(const OsProfile& profile)
{
    m_name->setText(profile.name);
    m_ram->setValue(OsProfiles::SizeForEditor(profile.ram, OsProfiles::NewRam));
    m_disk->setValue(OsProfiles::SizeForEditor(profile.disk, OsProfiles::NewDisk));
    m_name->setFocus();
}

OsProfile ProfileEditorDialog::profile() const
{
    return {m_name->text(), QString::number(m_ram->value()), QString::number(m_disk->value())};
}

void ProfileEditorDialog::accept()
{
    // A number still being typed counts, whichever way the dialog was closed with Create.
    m_ram->interpretText();
    m_disk->interpretText();
    QDialog::accept();
}

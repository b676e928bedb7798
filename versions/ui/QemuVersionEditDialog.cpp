#include "versions/ui/QemuVersionEditDialog.h"

#include "model/ProgramFolder.h"
#include "platform/ui/Interaction.h"
#include "versions/ui/QemuFolderChooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

QemuVersionEditDialog::QemuVersionEditDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Qemu Version"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("New"), this);
    auto* form = new QFormLayout;

    m_version = new QComboBox(group);
    m_version->addItems(VersionControl::VersionNames());
    connect(m_version, &QComboBox::currentIndexChanged, this,
            &QemuVersionEditDialog::VersionChange);
    form->addRow(QStringLiteral("QEMU Version:"), m_version);

    m_description = new QLineEdit(group);
    form->addRow(QStringLiteral("Description:"), m_description);

    auto* pathRow = new QHBoxLayout;
    m_path = new QLineEdit(group);
    pathRow->addWidget(m_path);
    m_portable = new QToolButton(group);
    m_portable->setText(QStringLiteral("{VR}"));
    m_portable->setToolTip(QStringLiteral("Use Portable Qemu Path"));
    connect(m_portable, &QToolButton::clicked, this, &QemuVersionEditDialog::PortableClick);
    pathRow->addWidget(m_portable);
    m_browse = new QToolButton(group);
    m_browse->setText(QStringLiteral(".."));
    m_browse->setToolTip(QStringLiteral("Select Path"));
    connect(m_browse, &QToolButton::clicked, this, &QemuVersionEditDialog::BrowseClick);
    pathRow->addWidget(m_browse);
    form->addRow(QStringLiteral("Path:"), pathRow);

    auto* boxes = new QGridLayout;
    const auto box = [group, boxes](const char* caption, int row, int column) {
        auto* check = new QCheckBox(QLatin1String(caption), group);
        boxes->addWidget(check, row, column);
        return check;
    };
    m_integrated = box("Use integrated Client", 0, 0);
    m_usb = box("USB Support", 0, 1);
    m_kqemu = box("Enable KQEMU Support", 1, 0);
    m_fmod = box("Enable FMOD Support", 1, 1);
    m_default = box("Set as default", 2, 0);
    m_bluetooth = box("Enable Bluetooth Support", 2, 1);
    m_console = box("Vimor Remote Monitor Support", 3, 0);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(form);
    groupLayout->addLayout(boxes);
    layout->addWidget(group);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_chooser = new QemuFolderChooser(this);
}

void QemuVersionEditDialog::preset(const VersionControl::VersionForm& form)
{
    {
        // The stored boxes are shown as they are; the choice rule is for the user's changes.
        const QSignalBlocker blocker(m_version);
        m_version->setCurrentIndex(form.version);
    }
    m_description->setText(form.description);
    m_path->setText(form.path);
    showBoxes(form);
}

VersionControl::VersionForm QemuVersionEditDialog::form() const
{
    VersionControl::VersionForm form;
    form.version = m_version->currentIndex();
    form.description = m_description->text();
    form.path = m_path->text();
    form.integrated = m_integrated->isChecked();
    form.usb = m_usb->isChecked();
    form.kqemu = m_kqemu->isChecked() && m_kqemu->isEnabled();
    form.fmod = m_fmod->isChecked();
    form.isDefault = m_default->isChecked();
    form.bluetooth = m_bluetooth->isChecked();
    form.console = m_console->isChecked();
    return form;
}

void QemuVersionEditDialog::showBoxes(const VersionControl::VersionForm& form)
{
    const bool kqemuAllowed = VersionControl::KqemuAllowed(form.version);
    m_integrated->setChecked(form.integrated);
    m_usb->setChecked(form.usb);
    m_kqemu->setChecked(form.kqemu && kqemuAllowed);
    m_kqemu->setEnabled(kqemuAllowed);
    m_fmod->setChecked(form.fmod);
    m_default->setChecked(form.isDefault);
    m_bluetooth->setChecked(form.bluetooth);
    m_console->setChecked(form.console);
}

void QemuVersionEditDialog::VersionChange(int version)
{
    VersionControl::VersionForm shown = form();
    VersionControl::ChooseVersion(shown, version);
    showBoxes(shown);
}

void QemuVersionEditDialog::PortableClick()
{
    m_chooser->refill();
    if (Interaction::current().execDialog(*m_chooser) == QDialog::Accepted)
        m_path->setText(m_chooser->portablePath());
}

void QemuVersionEditDialog::BrowseClick()
{
    const QString typed = m_path->text();
    const QString start =
        typed.isEmpty() ? ProgramFolder::path() : ProgramFolder::nativeExpanded(typed);
    if (const std::optional<QString> chosen =
            Interaction::current().folder(this, QStringLiteral("Select Folder"), start))
        m_path->setText(QDir::toNativeSeparators(*chosen));
}

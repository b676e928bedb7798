#include "media/ui/SelectPathDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SelectPathDialog::SelectPathDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SelectPathDialog"));
    setWindowTitle(QStringLiteral("Select Path"));
    auto* layout = new QVBoxLayout(this);

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("driveLabel"));
    layout->addWidget(m_label);

    auto* row = new QHBoxLayout;
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("pathBox"));
    m_path->setMinimumWidth(360);
    m_label->setBuddy(m_path);
    const auto button = [this](const QString& name, const QString& text) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(name);
        made->setAutoDefault(false);
        return made;
    };
    m_browse = button(QStringLiteral("browseButton"), QStringLiteral(".."));
    m_browse->setToolTip(QStringLiteral("Browse"));
    m_clear = button(QStringLiteral("clearButton"), QStringLiteral("Clear"));
    m_clear->setToolTip(QStringLiteral("Use Portable Qemu Path"));
    row->addWidget(m_path);
    row->addWidget(m_browse);
    row->addWidget(m_clear);
    layout->addLayout(row);

    m_newDisk = button(QStringLiteral("newDiskButton"), QStringLiteral("Create New Disk Image"));
    m_physicalDisk =
        button(QStringLiteral("physicalDiskButton"), QStringLiteral("Use Physical Disk"));
    m_sharedFolder =
        button(QStringLiteral("sharedFolderButton"), QStringLiteral("Use Shared Folder"));
    m_scsi = new QCheckBox(QStringLiteral("Use SCSI Interface"), this);
    m_scsi->setObjectName(QStringLiteral("scsiBox"));
    m_encrypted = new QCheckBox(QStringLiteral("Drive is Encrypted"), this);
    m_encrypted->setObjectName(QStringLiteral("encryptedBox"));
    m_physicalDrive =
        button(QStringLiteral("physicalDriveButton"), QStringLiteral("Use Physical Drive"));
    m_import = button(QStringLiteral("importButton"), QStringLiteral("Import From CD/DVD/Floppy"));
    for (QWidget* extra : extras()) {
        extra->hide();
        layout->addWidget(extra);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    connect(m_browse, &QPushButton::clicked, this, &SelectPathDialog::browseRequested);
    connect(m_clear, &QPushButton::clicked, this, &SelectPathDialog::ClearClick);
    connect(m_newDisk, &QPushButton::clicked, this, &SelectPathDialog::newDiskRequested);
    connect(m_physicalDisk, &QPushButton::clicked, this, &SelectPathDialog::physicalDiskRequested);
    connect(m_sharedFolder, &QPushButton::clicked, this, &SelectPathDialog::sharedFolderRequested);
    connect(m_physicalDrive, &QPushButton::clicked, this,
            &SelectPathDialog::physicalDriveRequested);
    connect(m_import, &QPushButton::clicked, this, &SelectPathDialog::importRequested);
}

QList<QWidget*> SelectPathDialog::extras() const
{
    return {m_newDisk,   m_physicalDisk,  m_sharedFolder, m_scsi,
            m_encrypted, m_physicalDrive, m_import};
}

void SelectPathDialog::startDisk(const QString& label, const QString& value, bool scsi,
                                 bool encrypted)
{
    hideExtras();
    m_mode = Mode::Disk;
    m_filter.clear();
    m_label->setText(label);
    m_path->setText(value);
    m_scsi->setChecked(scsi);
    m_encrypted->setChecked(encrypted);
    for (QWidget* shown : {static_cast<QWidget*>(m_newDisk), static_cast<QWidget*>(m_physicalDisk),
                           static_cast<QWidget*>(m_sharedFolder), static_cast<QWidget*>(m_scsi),
                           static_cast<QWidget*>(m_encrypted)})
        shown->show();
    adjustSize();
}

void SelectPathDialog::startMedia(const QString& label, const QString& value, const QString& filter)
{
    hideExtras();
    m_mode = Mode::Media;
    m_filter = filter;
    m_label->setText(label);
    m_path->setText(value);
    m_scsi->setChecked(false);
    m_encrypted->setChecked(false);
    m_physicalDrive->show();
    m_import->show();
    adjustSize();
}

void SelectPathDialog::hideExtras()
{
    for (QWidget* extra : extras())
        extra->hide();
}

QString SelectPathDialog::label() const
{
    return m_label->text();
}

QString SelectPathDialog::text() const
{
    return m_path->text();
}

void SelectPathDialog::setText(const QString& text)
{
    m_path->setText(text);
}

bool SelectPathDialog::scsi() const
{
    return m_scsi->isChecked();
}

bool SelectPathDialog::encrypted() const
{
    return m_encrypted->isChecked();
}

void SelectPathDialog::setEncrypted(bool on)
{
    m_encrypted->setChecked(on);
}

void SelectPathDialog::ClearClick()
{
    m_path->clear();
    m_scsi->setChecked(false);
    m_encrypted->setChecked(false);
}

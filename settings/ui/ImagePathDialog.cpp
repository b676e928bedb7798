#include "settings/ui/ImagePathDialog.h"

#include "platform/ui/Interaction.h"
#include "settings/AdvancedEditing.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ImagePathDialog::ImagePathDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Qemu Executable"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Image Path"), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_label = new QLabel(group);
    groupLayout->addWidget(m_label);
    auto* row = new QHBoxLayout;
    m_path = new QLineEdit(group);
    m_path->setMinimumWidth(320);
    m_label->setBuddy(m_path);
    m_browse = new QPushButton(QStringLiteral(".."), group);
    m_browse->setToolTip(QStringLiteral("Browse"));
    m_browse->setAutoDefault(false);
    row->addWidget(m_path);
    row->addWidget(m_browse);
    groupLayout->addLayout(row);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_browse, &QPushButton::clicked, this, &ImagePathDialog::BrowseClick);
}

void ImagePathDialog::start(const QString& label, const QString& path)
{
    m_label->setText(label);
    m_path->setText(path);
    m_chosenFile.clear();
}

QString ImagePathDialog::text() const
{
    return m_path->text();
}

QString ImagePathDialog::label() const
{
    return m_label->text();
}

void ImagePathDialog::BrowseClick()
{
    // Kernel images often have no extension, so every file is offered.
    Interaction::FileRequest request;
    request.title = QStringLiteral("Select Image");
    request.folder = AdvancedEditing::qemuFolder();
    request.filter = QStringLiteral("All Files (*)");
    const auto file = Interaction::current().openFileName(this, request);
    if (!file)
        return;
    m_chosenFile = *file;
    m_path->setText(*file);
}

#include "settings/ui/DataEntryDialog.h"

#include "platform/ui/Interaction.h"
#include "settings/AdvancedEditing.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

DataEntryDialog::DataEntryDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Data Entry"));
    auto* layout = new QVBoxLayout(this);
    m_frame = new QGroupBox(this);
    auto* frameLayout = new QVBoxLayout(m_frame);
    m_label = new QLabel(m_frame);
    frameLayout->addWidget(m_label);
    auto* row = new QHBoxLayout;
    m_text = new QLineEdit(m_frame);
    m_text->setMinimumWidth(320);
    m_label->setBuddy(m_text);
    row->addWidget(m_text);
    const auto addButton = [this, row](const QString& caption) {
        auto* button = new QPushButton(caption, m_frame);
        button->setAutoDefault(false);
        button->hide();
        row->addWidget(button);
        return button;
    };
    m_vm = addButton(QStringLiteral("VM"));
    m_browse = addButton(QStringLiteral(".."));
    m_clear = addButton(QStringLiteral("Clear"));
    frameLayout->addLayout(row);
    layout->addWidget(m_frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_vm, &QPushButton::clicked, this, &DataEntryDialog::VMClick);
    connect(m_browse, &QPushButton::clicked, this, &DataEntryDialog::BrowseClick);
    connect(m_clear, &QPushButton::clicked, this, &DataEntryDialog::ClearClick);
}

void DataEntryDialog::start(const AdvancedEditing::DataEntryUse& use, const QString& text)
{
    m_frame->setTitle(use.frame);
    m_label->setText(use.label);
    m_text->setText(text);
    m_vm->setVisible(use.vmButton);
    m_browse->setVisible(use.biosButtons);
    m_clear->setVisible(use.biosButtons);
}

void DataEntryDialog::hideOptionalButtons()
{
    m_vm->hide();
    m_browse->hide();
    m_clear->hide();
}

QString DataEntryDialog::text() const
{
    return m_text->text();
}

QString DataEntryDialog::frame() const
{
    return m_frame->title();
}

QString DataEntryDialog::label() const
{
    return m_label->text();
}

void DataEntryDialog::VMClick()
{
    m_text->setText(AdvancedEditing::VMNameMacro);
}

void DataEntryDialog::BrowseClick()
{
    Interaction::FileRequest request;
    request.title = QStringLiteral("Bios Location");
    request.folder = AdvancedEditing::qemuFolder();
    request.filter = QStringLiteral("BIOS Files (*.bin);;All Files (*)");
    const auto file = Interaction::current().openFileName(this, request);
    if (file)
        m_text->setText(AdvancedEditing::qemuFolderShortForm(*file));
}

void DataEntryDialog::ClearClick()
{
    m_text->setText(AdvancedEditing::DefaultBios);
}

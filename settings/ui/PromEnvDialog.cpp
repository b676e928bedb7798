#include "settings/ui/PromEnvDialog.h"

#include "settings/AdvancedEditing.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

PromEnvDialog::PromEnvDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("PROM Env Strings"));
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    auto* page = new QWidget(tabs);
    auto* pageLayout = new QVBoxLayout(page);
    auto* listLabel = new QLabel(QStringLiteral("PROM Env Strings:"), page);
    m_list = new QListWidget(page);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    listLabel->setBuddy(m_list);
    auto* textLabel = new QLabel(QStringLiteral("String:"), page);
    m_text = new QLineEdit(page);
    textLabel->setBuddy(m_text);
    auto* row = new QHBoxLayout;
    m_delete = new QPushButton(QStringLiteral("Delete"), page);
    m_add = new QPushButton(QStringLiteral("Add"), page);
    m_delete->setAutoDefault(false);
    m_add->setAutoDefault(false);
    row->addStretch();
    row->addWidget(m_delete);
    row->addWidget(m_add);
    pageLayout->addWidget(listLabel);
    pageLayout->addWidget(m_list);
    pageLayout->addWidget(textLabel);
    pageLayout->addWidget(m_text);
    pageLayout->addLayout(row);
    tabs->addTab(page, QStringLiteral("Strings"));
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(m_add, &QPushButton::clicked, this, &PromEnvDialog::AddClick);
    connect(m_delete, &QPushButton::clicked, this, &PromEnvDialog::DeleteClick);
    connect(m_list, &QListWidget::itemClicked, this, &PromEnvDialog::ListClick);
}

void PromEnvDialog::setItems(const QStringList& items)
{
    m_list->clear();
    m_list->addItems(items);
    m_list->setCurrentRow(-1);
    m_text->clear();
}

QStringList PromEnvDialog::items() const
{
    QStringList texts;
    for (int row = 0; row < m_list->count(); ++row)
        texts.append(m_list->item(row)->text());
    return texts;
}

void PromEnvDialog::AddClick()
{
    // The strings are stored joined by "|", so a typed "|" would split the string on the next
    // opening; the list shows the pieces at once instead.
    m_list->addItems(AdvancedEditing::splitPromStrings(m_text->text()));
    m_text->clear();
}

void PromEnvDialog::DeleteClick()
{
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (!selected.isEmpty())
        delete m_list->takeItem(m_list->row(selected.first()));
    // No string stays selected, so a second "Delete" does not remove another string unasked.
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    m_text->clear();
}

void PromEnvDialog::ListClick(QListWidgetItem* item)
{
    if (item)
        m_text->setText(item->text());
}

#include "settings/ui/AdvancedChoiceDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

AdvancedChoiceDialog::AdvancedChoiceDialog(const QString& title, const QString& frame,
                                           const QString& label, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* group = m_group = new QGroupBox(frame, this);
    auto* groupLayout = new QVBoxLayout(group);
    m_label = new QLabel(label, group);
    m_label->setWordWrap(true);
    m_list = new QComboBox(group);
    m_label->setBuddy(m_list);
    groupLayout->addWidget(m_label);
    groupLayout->addWidget(m_list);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void AdvancedChoiceDialog::setItems(const QStringList& items)
{
    m_list->clear();
    m_list->addItems(items);
    m_list->setCurrentIndex(-1);
}

void AdvancedChoiceDialog::setChoices(const ChoiceList& rows)
{
    m_list->clear();
    for (const ChoiceRow& row : rows)
        m_list->addItem(row.display, row.id);
    m_list->setCurrentIndex(-1);
}

void AdvancedChoiceDialog::select(int position)
{
    m_list->setCurrentIndex(position >= 0 && position < m_list->count() ? position : -1);
}

int AdvancedChoiceDialog::selectedPosition() const
{
    return m_list->currentIndex();
}

QString AdvancedChoiceDialog::selectedText() const
{
    return m_list->currentIndex() < 0 ? QString() : m_list->currentText();
}

QString AdvancedChoiceDialog::selectedId() const
{
    return m_list->currentIndex() < 0 ? QString() : m_list->currentData().toString();
}

QString AdvancedChoiceDialog::label() const
{
    return m_label->text();
}

void AdvancedChoiceDialog::setLabel(const QString& text)
{
    m_label->setText(text);
}

void AdvancedChoiceDialog::setFrameTitle(const QString& text)
{
    m_group->setTitle(text);
}

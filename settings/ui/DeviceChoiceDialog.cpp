#include "settings/ui/DeviceChoiceDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

DeviceChoiceDialog::DeviceChoiceDialog(const QString& title, const QString& prompt, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Devices"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(new QLabel(prompt, frame));
    m_list = new QComboBox(frame);
    frameLayout->addWidget(m_list);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void DeviceChoiceDialog::load(const ChoiceList& list, int row)
{
    m_choices = list;
    m_list->clear();
    for (const ChoiceRow& choice : list)
        m_list->addItem(choice.display);
    m_list->setCurrentIndex(row);
}

int DeviceChoiceDialog::row() const
{
    return m_list->currentIndex();
}

#include "settings/ui/OperatingSystemDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

OperatingSystemDialog::OperatingSystemDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Operating system"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("Operating System"), this);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(
        new QLabel(QStringLiteral("Please specify the Virtual Machines operating system"), frame));
    m_box = new QComboBox(frame);
    m_box->setEditable(true);
    // Typed text is the value; it does not become a row of the table's list.
    m_box->setInsertPolicy(QComboBox::NoInsert);
    frameLayout->addWidget(m_box);
    layout->addWidget(frame);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void OperatingSystemDialog::load(const QStringList& names, int row, const QString& text)
{
    m_box->clear();
    m_box->addItems(names);
    m_box->setCurrentIndex(row);
    m_box->setEditText(text);
}

QString OperatingSystemDialog::text() const
{
    return m_box->currentText();
}

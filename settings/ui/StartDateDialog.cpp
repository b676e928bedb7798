#include "settings/ui/StartDateDialog.h"

#include "settings/AdvancedEditing.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

StartDateDialog::StartDateDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Date & Time"));
    auto* layout = new QVBoxLayout(this);
    // A group box title takes "&" for a shortcut; the doubled one shows as itself.
    auto* group = new QGroupBox(QStringLiteral("Start Date && Time"), this);
    auto* form = new QFormLayout(group);
    m_date = new QDateEdit(QDate::currentDate(), group);
    m_date->setCalendarPopup(true);
    // Every date the stored form can hold, so that a stored date is never clamped on opening.
    m_date->setDateRange(QDate(1, 1, 1), QDate(9999, 12, 31));
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_time = new QComboBox(group);
    m_time->addItems(AdvancedEditing::startHours());
    m_time->setCurrentIndex(AdvancedEditing::DefaultStartHour);
    form->addRow(QStringLiteral("Select Date:"), m_date);
    form->addRow(QStringLiteral("Select Time:"), m_time);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QDate StartDateDialog::date() const
{
    return m_date->date();
}

void StartDateDialog::setDate(const QDate& date)
{
    m_date->setDate(date);
}

int StartDateDialog::hour() const
{
    return m_time->currentIndex();
}

void StartDateDialog::setHour(int hour)
{
    m_time->setCurrentIndex(hour);
}

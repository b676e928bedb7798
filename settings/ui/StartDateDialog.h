#pragma once

#include <QDialog>

class QComboBox;
class QDate;
class QDateEdit;

// The start date and hour of the guest clock: a date picker and the 24 whole hours.
class StartDateDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartDateDialog)

public:
    explicit StartDateDialog(QWidget* parent = nullptr);

    QDate date() const;
    void setDate(const QDate& date);
    // The selected hour, 0 to 23.
    int hour() const;
    void setHour(int hour);

    QDateEdit* datePicker() const { return m_date; }
    QComboBox* timeList() const { return m_time; }

private:
    QDateEdit* m_date = nullptr;
    QComboBox* m_time = nullptr;
};

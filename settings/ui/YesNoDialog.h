#pragma once

#include <QDialog>

class QComboBox;
class QLabel;

// The small "Select" dialog: a question and a "Yes"/"No" list, used by many editors.
class YesNoDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(YesNoDialog)

public:
    explicit YesNoDialog(QWidget* parent = nullptr);

    void setQuestion(const QString& question);
    QString question() const;
    // Selects "Yes" when value is exactly "Yes", else "No".
    void preset(const QString& value);
    // "Yes" or "No".
    QString answer() const;
    QComboBox* list() const { return m_list; }

private:
    QLabel* m_question = nullptr;
    QComboBox* m_list = nullptr;
};

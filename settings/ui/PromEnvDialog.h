#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The PROM environment strings of a sparc or ppc VM: a list with a text box to add from, and a
// "Delete" for the selected string.
class PromEnvDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PromEnvDialog)

public:
    explicit PromEnvDialog(QWidget* parent = nullptr);

    void setItems(const QStringList& items);
    QStringList items() const;

    QListWidget* list() const { return m_list; }
    QLineEdit* textBox() const { return m_text; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }

    void AddClick();
    void DeleteClick();
    void ListClick(QListWidgetItem* item);

private:
    QListWidget* m_list = nullptr;
    QLineEdit* m_text = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
};

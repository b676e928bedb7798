#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QListWidget;
class QPushButton;

// The "Boot Options" window of QEMU versions that take a boot order: up to three drives moved
// from "Available Drives:" into "Boot Order:" and arranged there.
class BootOrderDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BootOrderDialog)

public:
    explicit BootOrderDialog(QWidget* parent = nullptr);

    void start(const QStringList& order, const QStringList& available, bool bootMenu);
    QStringList order() const { return m_order; }
    QStringList available() const { return m_available; }
    bool bootMenu() const;

    QListWidget* availableList() const { return m_availableList; }
    QListWidget* orderList() const { return m_orderList; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* upButton() const { return m_up; }
    QPushButton* downButton() const { return m_down; }
    QCheckBox* bootMenuBox() const { return m_bootMenu; }

    void AddClick();
    void RemoveClick();
    void UpClick();
    void DownClick();

private:
    static int selectedRow(const QListWidget* list);
    void refill(int selectedOrderRow);

    QStringList m_order;
    QStringList m_available;
    QListWidget* m_availableList = nullptr;
    QListWidget* m_orderList = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QCheckBox* m_bootMenu = nullptr;
};

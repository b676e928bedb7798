#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;

// The "Operating system" dialog: a name from the operating-system table, or any typed text.
class OperatingSystemDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OperatingSystemDialog)

public:
    explicit OperatingSystemDialog(QWidget* parent = nullptr);

    // Fills the list, selects the row (-1: none) and shows text in the box.
    void load(const QStringList& names, int row, const QString& text);
    QString text() const;
    QComboBox* box() const { return m_box; }

private:
    QComboBox* m_box = nullptr;
};

#pragma once

#include <QDialog>

class QSpinBox;

// The "Memory" dialog: the VM's memory in megabytes, stepping by 4.
class MemoryDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MemoryDialog)

public:
    explicit MemoryDialog(QWidget* parent = nullptr);

    void load(int megabytes, int minimum, int maximum);
    // The value the box holds, typed text included.
    int megabytes();
    QSpinBox* spinBox() const { return m_spin; }

private:
    QSpinBox* m_spin = nullptr;
};

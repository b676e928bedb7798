#pragma once

#include <QDialog>

class QSpinBox;

// The "Processors" dialog: how many processors the VM has.
class ProcessorsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProcessorsDialog)

public:
    explicit ProcessorsDialog(QWidget* parent = nullptr);

    void load(int processors, int minimum, int maximum);
    // The value the box holds, typed text included.
    int processors();
    QSpinBox* spinBox() const { return m_spin; }

private:
    QSpinBox* m_spin = nullptr;
};

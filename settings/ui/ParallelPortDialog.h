#pragma once

#include "settings/HardwareEditing.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QWidget;

// The "Parallel Ports" dialog of one parallel port: console or a file.
class ParallelPortDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ParallelPortDialog)

public:
    explicit ParallelPortDialog(QWidget* parent = nullptr);

    void load(const HardwareEditing::ParallelPortPreset& preset);
    // The type shown (HardwareEditing::ParallelType), -1 before any is.
    int type() const;
    void setType(int type);
    QString fileName() const;

    QButtonGroup* types() const { return m_types; }
    QWidget* filePanel() const { return m_filePanel; }
    QLineEdit* fileBox() const { return m_file; }
    void BrowseClick();

private:
    void showPanel(int type);

    QButtonGroup* m_types = nullptr;
    QWidget* m_filePanel = nullptr;
    QLineEdit* m_file = nullptr;
};

#pragma once

#include "versions/VersionRegistry.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QPushButton;

// The QEMU version choice: one row per version definition, its description shown and its
// identifier kept with it.
class QemuVersionDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QemuVersionDialog)

public:
    explicit QemuVersionDialog(QWidget* parent = nullptr);

    // Fills the list and selects the row (-1: none).
    void load(const QList<VersionRegistry::Version>& versions, int row);
    // The selected description and identifier; both empty with no selection.
    VersionRegistry::Version selected() const;
    QComboBox* list() const { return m_list; }
    QPushButton* configureButton() const { return m_configure; }

signals:
    // "Configure QEMU Versions" was pressed.
    void configureRequested();

private:
    QComboBox* m_list = nullptr;
    QPushButton* m_configure = nullptr;
};

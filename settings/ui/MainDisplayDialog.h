#pragma once

#include "settings/HardwareEditing.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QWidget;

// The "Main Display" dialog: how the VM is displayed, and the VNC display number for VNC. OK with
// the integrated display of a version that cannot show it is refused and the dialog stays open.
class MainDisplayDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainDisplayDialog)

public:
    explicit MainDisplayDialog(QWidget* parent = nullptr);

    void load(const HardwareEditing::DisplayPreset& preset);
    int mode() const;
    // The VNC display number the box holds, typed text included.
    int vncNumber();
    bool vncSocket() const;
    QComboBox* modeList() const { return m_modes; }
    QSpinBox* vncNumberBox() const { return m_vncNumber; }
    QWidget* vncPanel() const { return m_vncPanel; }
    QCheckBox* vncSocketBox() const { return m_vncSocket; }

    void accept() override;

private:
    void modeChanged(int index);

    bool m_lacksIntegrated = false;
    int m_remembered = -1;
    QComboBox* m_modes = nullptr;
    QWidget* m_vncPanel = nullptr;
    QSpinBox* m_vncNumber = nullptr;
    QCheckBox* m_vncSocket = nullptr;
};

#pragma once

#include "settings/HardwareEditing.h"

#include <QDialog>

#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QWidget;

// The save chooser of the port dialogs' ".." buttons: "Save File To", text files, ".txt" added to
// a name without extension; nothing when the user cancels.
std::optional<QString> ChoosePortFile(QWidget* parent);

// The "Select Port" dialog of one serial port: console, a host port, a file, or a TCP connection,
// each type with its own panel.
class SerialPortDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SerialPortDialog)

public:
    explicit SerialPortDialog(QWidget* parent = nullptr);

    void load(const HardwareEditing::SerialPortPreset& preset);
    // The type shown (HardwareEditing::SerialType), -1 before any is.
    int type() const;
    void setType(int type);
    HardwareEditing::SerialPortChoice choice();

    QButtonGroup* types() const { return m_types; }
    QWidget* physicalPanel() const { return m_physicalPanel; }
    QWidget* filePanel() const { return m_filePanel; }
    QWidget* tcpPanel() const { return m_tcpPanel; }
    QComboBox* hostPortList() const { return m_hostPorts; }
    QLineEdit* fileBox() const { return m_file; }
    QLineEdit* ipBox() const { return m_ip; }
    QSpinBox* portBox() const { return m_port; }
    QCheckBox* listenBox() const { return m_listen; }
    QCheckBox* waitBox() const { return m_wait; }
    void BrowseClick();

private:
    void showPanel(int type);

    QButtonGroup* m_types = nullptr;
    QWidget* m_physicalPanel = nullptr;
    QWidget* m_filePanel = nullptr;
    QWidget* m_tcpPanel = nullptr;
    QComboBox* m_hostPorts = nullptr;
    QLineEdit* m_file = nullptr;
    QLineEdit* m_ip = nullptr;
    QSpinBox* m_port = nullptr;
    QCheckBox* m_listen = nullptr;
    QCheckBox* m_wait = nullptr;
};

#pragma once

#include "versions/VersionControl.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;
class QemuFolderChooser;

// The "Qemu Version" dialog: one version definition, new or edited. OK accepts as it stands.
class QemuVersionEditDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QemuVersionEditDialog)

public:
    explicit QemuVersionEditDialog(QWidget* parent = nullptr);

    // Shows the form; "Enable KQEMU Support" is usable only where the version allows it.
    void preset(const VersionControl::VersionForm& form);
    VersionControl::VersionForm form() const;

    QComboBox* versionBox() const { return m_version; }
    QLineEdit* descriptionBox() const { return m_description; }
    QLineEdit* pathBox() const { return m_path; }
    QToolButton* portableButton() const { return m_portable; }
    QToolButton* browseButton() const { return m_browse; }
    QCheckBox* integratedBox() const { return m_integrated; }
    QCheckBox* usbBox() const { return m_usb; }
    QCheckBox* kqemuBox() const { return m_kqemu; }
    QCheckBox* fmodBox() const { return m_fmod; }
    QCheckBox* defaultBox() const { return m_default; }
    QCheckBox* bluetoothBox() const { return m_bluetooth; }
    QCheckBox* consoleBox() const { return m_console; }
    QemuFolderChooser& folderChooser() const { return *m_chooser; }

    void VersionChange(int version);
    void PortableClick();
    void BrowseClick();

private:
    void showBoxes(const VersionControl::VersionForm& form);

    QComboBox* m_version = nullptr;
    QLineEdit* m_description = nullptr;
    QLineEdit* m_path = nullptr;
    QToolButton* m_portable = nullptr;
    QToolButton* m_browse = nullptr;
    QCheckBox* m_integrated = nullptr;
    QCheckBox* m_usb = nullptr;
    QCheckBox* m_kqemu = nullptr;
    QCheckBox* m_fmod = nullptr;
    QCheckBox* m_default = nullptr;
    QCheckBox* m_bluetooth = nullptr;
    QCheckBox* m_console = nullptr;
    QemuFolderChooser* m_chooser = nullptr;
};

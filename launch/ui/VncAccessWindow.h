#pragma once

#include "launch/LaunchString.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

// Tells where a VM's VNC server listens and the password of this run, each with a button that
// copies it for the viewer. It is left open beside the main window, not waited for: the user
// copies from it while the viewer asks.
class VncAccessWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VncAccessWindow)

public:
    VncAccessWindow(const QString& vmName, const VncAccess& access, QWidget* parent = nullptr);

    QLineEdit* address() const { return m_address; }
    // Null for a socket, which has no password.
    QLineEdit* password() const { return m_password; }
    QPushButton* copyAddressButton() const { return m_copyAddress; }
    QPushButton* copyPasswordButton() const { return m_copyPassword; }

private:
    QLineEdit* m_address = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_copyAddress = nullptr;
    QPushButton* m_copyPassword = nullptr;
};

#include "launch/ui/VncAccessWindow.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A read-only box, so the text can also be selected by hand, and the button that copies it.
QPushButton* addRow(QGridLayout* grid, int row, const QString& caption, QLineEdit*& edit,
                    const QString& text)
{
    auto* parent = grid->parentWidget();
    grid->addWidget(new QLabel(caption, parent), row, 0);
    edit = new QLineEdit(text, parent);
    edit->setReadOnly(true);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(text) + 24);
    grid->addWidget(edit, row, 1);
    auto* copy = new QPushButton(QStringLiteral("Copy"), parent);
    grid->addWidget(copy, row, 2);
    QObject::connect(copy, &QPushButton::clicked, edit,
                     [edit] { QGuiApplication::clipboard()->setText(edit->text()); });
    return copy;
}

} // namespace

VncAccessWindow::VncAccessWindow(const QString& vmName, const VncAccess& access, QWidget* parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("VNC Server - ") + vmName);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("%1 is running. Connect your VNC viewer to:").arg(vmName.toHtmlEscaped()),
        this));
    auto* fields = new QWidget(this);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    m_copyAddress =
        addRow(grid, 0, access.socket ? QStringLiteral("Socket:") : QStringLiteral("Address:"),
               m_address, access.address);
    if (!access.socket)
        m_copyPassword = addRow(grid, 1, QStringLiteral("Password:"), m_password, access.password);
    layout->addWidget(fields);
    auto* note = new QLabel(
        access.socket
            ? QStringLiteral("Only you can reach this socket, so it asks for no password.")
            : QStringLiteral("The password holds for this run of the virtual machine only."),
        this);
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}

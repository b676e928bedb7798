#include "app/ui/AboutDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

const char* const Notices =
    "Vimor 7.0 - a desktop manager for QEMU virtual machines.\n"
    "\n"
    "Vimor starts the QEMU emulators and image tool installed with it; QEMU is free software "
    "under the GNU General Public License, version 2.\n"
    "\n"
    "Built with:\n"
    "  Qt 6 (GNU Lesser General Public License, version 3)\n"
    "  libvterm (MIT licence)\n"
    "  libtelnet (public domain)\n"
    "  libarchive (New BSD licence)\n"
    "\n"
    "Pictures: the Tango icon theme, released into the public domain by its authors.\n"
    "Console font: DejaVu Sans Mono (Bitstream Vera licence; DejaVu changes in the public "
    "domain).\n";

} // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    auto* product = new QLabel(QStringLiteral("<h2>Vimor</h2><p>Version 7.0</p>"), this);
    product->setAlignment(Qt::AlignCenter);
    layout->addWidget(product);
    auto* notices = new QPlainTextEdit(QString::fromUtf8(Notices), this);
    notices->setReadOnly(true);
    notices->setMinimumSize(420, 220);
    layout->addWidget(notices);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

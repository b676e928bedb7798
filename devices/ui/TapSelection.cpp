#include "devices/ui/TapSelection.h"

#include "devices/TapAdapters.h"
#include "devices/ui/TapAdaptersWindow.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"

namespace {

std::optional<QString> showAdapters(TapAdaptersWindow::Mode mode, QWidget* parent)
{
    const TapCommands commands = TapCommands::current();
    if (!DiscoverTapAdapters(commands)) {
        Interaction::error(parent, TapDiscoveryFailedMessage());
        return std::nullopt;
    }
    TapAdaptersWindow window(mode, commands, parent);
    window.fill();
    if (Interaction::current().execDialog(window) != QDialog::Accepted)
        return std::nullopt;
    return window.chosen();
}

} // namespace

void ConfigureTapAdapters(QWidget* parent)
{
    showAdapters(TapAdaptersWindow::Mode::Management, parent);
}

std::optional<QString> SelectTapAdapter(VMContext& vm)
{
    return showAdapters(TapAdaptersWindow::Mode::Selection, vm.dialogParent());
}

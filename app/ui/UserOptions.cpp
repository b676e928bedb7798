#include "app/ui/UserOptions.h"

#include "model/ProgramFolder.h"
#include "model/Settings.h"

#include <QFile>

namespace {

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

QString yesNo(bool on)
{
    return on ? Yes : No;
}

// The preferences both the wizard and the dialog write, in their fixed order.
void writeCommon(const SettingsFile& file, bool enableUpdates, bool maximized, bool rememberTabs,
                 bool dock, StartSettings& settings)
{
    namespace K = SettingKeys;
    file.setValue(K::EnableUpdates, yesNo(enableUpdates));
    file.setValue(K::Maximized, yesNo(maximized));
    file.setValue(K::RememberTabs, yesNo(rememberTabs));
    settings.rememberTabs = rememberTabs;
    file.setValue(K::Dock, yesNo(dock));
    settings.dock = dock;
}

} // namespace

UserOptions ReadUserOptions(const SettingsFile& file, const StartSettings& settings)
{
    namespace K = SettingKeys;
    UserOptions options;
    options.enableUpdates = file.value(K::EnableUpdates) == Yes;
    options.maximized = file.value(K::Maximized) == Yes;
    options.rememberTabs = file.value(K::RememberTabs) == Yes;
    options.dock = file.value(K::Dock) == Yes;
    options.stopServices = settings.stopServices;
    return options;
}

void WriteUserOptions(const SettingsFile& file, const UserOptions& options, StartSettings& settings)
{
    writeCommon(file, options.enableUpdates, options.maximized, options.rememberTabs, options.dock,
                settings);
    file.setValue(SettingKeys::StopServices,
                  options.stopServices ? QStringLiteral("True") : QStringLiteral("False"));
    settings.stopServices = options.stopServices;
}

void FinishFirstRun(const SettingsFile& file, const FirstRunChoices& choices,
                    StartSettings& settings, const FirstRunSteps& steps)
{
    // The accelerator box counts even when the advanced panel has been hidden again.
    if (choices.installKqemu && steps.installKqemu)
        steps.installKqemu();
    writeCommon(file, choices.enableUpdates, choices.maximized, choices.rememberTabs, choices.dock,
                settings);
    const QString fontFile = ProgramFolder::file(QStringLiteral("\\term_hex.fon"));
    if (choices.advanced && choices.installFont && QFile::exists(fontFile) && steps.installFont) {
        // Only a font that really went in is recorded, or the font command would refuse to try
        // again.
        if (steps.installFont(fontFile))
            file.setValue(SettingKeys::ConsoleFontInstalled, Yes);
    }
    file.setValue(SettingKeys::Wizard7Complete, QStringLiteral("1"));
    if (steps.reReadSettings)
        steps.reReadSettings();
}

void CancelFirstRun(const SettingsFile& file)
{
    file.setValue(SettingKeys::Wizard7Complete, QStringLiteral("1"));
}

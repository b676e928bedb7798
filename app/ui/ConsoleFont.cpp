#include "app/ui/ConsoleFont.h"

#include "model/ProgramFolder.h"
#include "model/Settings.h"
#include "platform/Shell.h"
#include "platform/ui/Interaction.h"

#include <QFile>
#include <QFontDatabase>

bool LoadConsoleFontFile(const QString& fontFile)
{
    if (!QFile::exists(fontFile))
        return false;
    const int id = QFontDatabase::addApplicationFont(fontFile);
    if (id < 0)
        return false;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        return false;
    // The file's own family name differs; the terminal asks for the one the program has always
    // used.
    QFont::insertSubstitution(ConsoleFontFamily, families.first());
    return true;
}

QFont ConsoleFont()
{
    QFont font(ConsoleFontFamily, 12);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

bool AddConsoleFontToDesktop(const QString& fontFile, QString* error)
{
    if (!LoadConsoleFontFile(fontFile)) {
        if (error)
            *error = QStringLiteral("%1 is not a font file").arg(fontFile);
        return false;
    }
    return Shell::installUserFont(fontFile, QStringLiteral("vimor-term_hex.ttf"), error);
}

void InstallConsoleFont(QWidget* parent)
{
    const SettingsFile settings;
    if (settings.value(SettingKeys::ConsoleFontInstalled) == QStringLiteral("Yes")) {
        Interaction::error(parent, QStringLiteral("Font is already installed"));
        return;
    }
    const QString fontFile = ProgramFolder::file(QStringLiteral("\\term_hex.fon"));
    if (!QFile::exists(fontFile))
        return;
    QString error;
    if (!AddConsoleFontToDesktop(fontFile, &error)) {
        Interaction::error(
            parent, QStringLiteral("The console font could not be installed: %1").arg(error));
        return;
    }
    if (!settings.setValue(SettingKeys::ConsoleFontInstalled, QStringLiteral("Yes"), &error)) {
        Interaction::error(parent, QStringLiteral("Cannot write the settings file: %1").arg(error));
        return;
    }
    Interaction::information(parent, QStringLiteral("Font Installed Successfully"));
}

#pragma once

#include "model/IniFile.h"

#include <QLatin1String>
#include <QString>

// One key of the settings file "vimor.ini", with the value it reads as when it is missing.
struct SettingKey
{
    QLatin1String section;
    QLatin1String key;
    QLatin1String defaultValue;
};

// The complete table of settings keys.
namespace SettingKeys {

inline constexpr SettingKey Wizard7Complete{QLatin1String("General"),
                                            QLatin1String("Wizard7Complete"), QLatin1String("0")};
inline constexpr SettingKey Dock{QLatin1String("General"), QLatin1String("Dock"), QLatin1String()};
inline constexpr SettingKey RememberTabs{QLatin1String("General"), QLatin1String("RememberTabs"),
                                         QLatin1String()};
inline constexpr SettingKey Maximized{QLatin1String("General"), QLatin1String("Maximized"),
                                      QLatin1String()};
inline constexpr SettingKey StopServices{QLatin1String("General"), QLatin1String("Stop Services"),
                                         QLatin1String("False")};
inline constexpr SettingKey PackageURL{QLatin1String("General"), QLatin1String("PackageURL"),
                                       QLatin1String()};
inline constexpr SettingKey EnableUpdates{QLatin1String("Updates"), QLatin1String("EnableUpdates"),
                                          QLatin1String()};
inline constexpr SettingKey UpdateURL{QLatin1String("Updates"), QLatin1String("URL"),
                                      QLatin1String()};
inline constexpr SettingKey Version{QLatin1String("Updates"), QLatin1String("Version"),
                                    QLatin1String("0")};
inline constexpr SettingKey CompatDrive{QLatin1String("Debug"), QLatin1String("CompatDrive"),
                                        QLatin1String()};
inline constexpr SettingKey ConsoleFontInstalled{QLatin1String("Console Font"),
                                                 QLatin1String("Installed"), QLatin1String()};

} // namespace SettingKeys

// The settings file of the program folder, read and written key by key.
class SettingsFile final
{
public:
    // The file "vimor.ini" of the program folder.
    SettingsFile();
    explicit SettingsFile(const QString& path);

    QString value(const SettingKey& key) const;
    bool setValue(const SettingKey& key, const QString& value, QString* error = nullptr) const;
    const QString& path() const { return m_ini.path(); }

private:
    IniFile m_ini;
};

// The settings that are read once at start-up and kept for the run.
struct StartSettings
{
    int wizardComplete = 0;
    QString qemuFolder;
    bool dock = false;
    bool rememberTabs = false;
    bool compatDrive = false;
    bool stopServices = false;
    bool maximized = false;
    double version = 0;
    bool enableUpdates = false;
    QString updateUrl;
};

// Reads the start-up settings in their documented order; a missing file reads as all defaults.
StartSettings ReadStartSettings(const SettingsFile& file);

// A decimal number as the settings file stores it ("7.0", "7,1" from a comma locale); 0 when the
// text is not a number.
double SettingsNumber(const QString& text);

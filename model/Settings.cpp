#include "model/Settings.h"

#include "model/ProgramFolder.h"

namespace {
const QString Yes = QStringLiteral("Yes");
}

SettingsFile::SettingsFile() : m_ini(ProgramFolder::file(QStringLiteral("\\vimor.ini"))) {}

SettingsFile::SettingsFile(const QString& path) : m_ini(path) {}

QString SettingsFile::value(const SettingKey& key) const
{
    return m_ini.read(key.section, key.key, key.defaultValue);
}

bool SettingsFile::setValue(const SettingKey& key, const QString& value, QString* error) const
{
    return m_ini.write(key.section, key.key, value, error);
}

double SettingsNumber(const QString& text)
{
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0;
}

StartSettings ReadStartSettings(const SettingsFile& file)
{
    namespace K = SettingKeys;
    StartSettings settings;
    bool ok = false;
    settings.wizardComplete = file.value(K::Wizard7Complete).trimmed().toInt(&ok);
    if (!ok)
        settings.wizardComplete = 0;
    settings.qemuFolder = ProgramFolder::path() + QStringLiteral("\\qemu");
    settings.dock = file.value(K::Dock) == Yes;
    settings.rememberTabs = file.value(K::RememberTabs) == Yes;
    settings.compatDrive = file.value(K::CompatDrive) == Yes;
    settings.stopServices = file.value(K::StopServices) == QStringLiteral("True");
    settings.maximized = file.value(K::Maximized) == Yes;
    settings.version = SettingsNumber(file.value(K::Version));
    settings.enableUpdates = file.value(K::EnableUpdates) == Yes;
    if (settings.enableUpdates)
        settings.updateUrl = file.value(K::UpdateURL);
    return settings;
}

#pragma once

#include <QString>

#include <functional>

class SettingsFile;
struct StartSettings;

// The five preferences the "Options" dialog edits.
struct UserOptions
{
    bool enableUpdates = false;
    bool maximized = false;
    bool rememberTabs = false;
    bool dock = false;
    bool stopServices = false;
};

// The preset of the "Options" dialog: the first four from the settings file ("Yes" ticks), the
// last from the in-memory flag.
UserOptions ReadUserOptions(const SettingsFile& file, const StartSettings& settings);

// Writes the options in their fixed order and updates the values that take effect at once.
// A settings file that cannot be written loses the choices without a message.
void WriteUserOptions(const SettingsFile& file, const UserOptions& options,
                      StartSettings& settings);

// The answers of the first-run wizard, preset as the wizard shows them.
struct FirstRunChoices
{
    bool enableUpdates = true;
    bool maximized = false;
    bool rememberTabs = true;
    bool dock = false;
    bool advanced = false;
    bool installKqemu = false;
    bool installFont = true;
};

// What finishing the first-run wizard needs from the main window.
struct FirstRunSteps
{
    // The steps of "Install KQEMU Accelerator" after its question.
    std::function<void()> installKqemu;
    // Adds the console font file to the desktop; true when it is installed.
    std::function<bool(const QString& fontFile)> installFont;
    // Reads the settings again after the first run has been recorded (ReadSettings(true)).
    std::function<void()> reReadSettings;
};

// Carries out a finished first-run wizard: the accelerator, the four preferences, the console
// font, then "Wizard7Complete" and the re-read of the settings.
void FinishFirstRun(const SettingsFile& file, const FirstRunChoices& choices,
                    StartSettings& settings, const FirstRunSteps& steps);

// A cancelled first-run wizard only records that it has run.
void CancelFirstRun(const SettingsFile& file);

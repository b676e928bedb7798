#pragma once

#include <QList>
#include <QString>

class VMContext;

// One row of a settings list. The icon number picks the row's picture and is also the key the
// list's double-click dispatches its editor on.
struct SettingsRow
{
    QString caption;
    QString value;
    int icon = -1;
    QString number;   // card or port number of a numbered row, else empty
    int picture = -1; // the picture when it is not the icon number's own
};

// The three settings lists of a VM, in display order, and which run-time tabs its page shows.
struct SettingsViewModel
{
    QList<SettingsRow> hardware, drives, advanced;
    bool showConsole = false;
    bool showMonitor = false;
};

// Rewrites the keys earlier releases wrote into their present form, in the selected VM's file.
// Writes go through vm.WriteVMValue; the first that fails ends the upgrade, so a file that cannot
// be written costs the user one message, not one per key.
void UpgradeLegacyKeys(VMContext& vm);

// Runs UpgradeLegacyKeys, then reads the selected VM and returns the rows of the three lists and
// the decision on the Console and Monitor tabs.
SettingsViewModel BuildSettingsView(VMContext& vm);

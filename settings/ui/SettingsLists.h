#pragma once

#include <Qt>

class ImageStrip;
class QTabWidget;
class QTreeWidget;
struct SettingsViewModel;

// Data every settings-list row carries in its first column.
inline constexpr int IconRole = Qt::UserRole;       // int: the row's icon number, its editor key
inline constexpr int NumberRole = Qt::UserRole + 1; // QString: card or port number, else empty

// Refills the three lists from the model (caption, value, picture of the row's icon number from
// mi, and the roles above) and shows or hides the Console and Monitor tabs of pages. The tab that
// was active stays active; when it is one the model hides, the first visible tab (Hardware) takes
// its place. pages only reports a change of tab when the active tab really changes.
void FillSettingsLists(const SettingsViewModel& model, QTreeWidget* hardware, QTreeWidget* drives,
                       QTreeWidget* advanced, QTabWidget* pages, int consoleTab, int monitorTab,
                       const ImageStrip& mi);

#include "settings/ui/SettingsLists.h"

#include "platform/ui/ImageLibrary.h"
#include "settings/SettingsView.h"

#include <QIcon>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

void fillList(QTreeWidget* list, const QList<SettingsRow>& rows, const ImageStrip& mi)
{
    if (!list)
        return;
    list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(rows.size());
    for (const SettingsRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{row.caption, row.value});
        if (const int picture = row.picture >= 0 ? row.picture : row.icon; picture >= 0)
            item->setIcon(0, QIcon(mi.image(picture)));
        item->setData(0, IconRole, row.icon);
        item->setData(0, NumberRole, row.number);
        items.append(item);
    }
    list->addTopLevelItems(items);
}

void showRunTimeTabs(QTabWidget* pages, int consoleTab, int monitorTab, bool console, bool monitor)
{
    const auto visibleAfter = [&](int tab) {
        if (tab == consoleTab)
            return console;
        if (tab == monitorTab)
            return monitor;
        return pages->isTabVisible(tab);
    };
    const int remembered = pages->currentIndex();
    int target = remembered;
    if (remembered >= 0 && !visibleAfter(remembered)) {
        // The run-time tabs of one VM say nothing about the next; its settings come first.
        for (int tab = 0; tab < pages->count(); ++tab) {
            if (visibleAfter(tab)) {
                target = tab;
                break;
            }
        }
    }
    // Moving off a tab before hiding it keeps the page control from passing through a neighbour
    // on the way, which would report a tab change (and wake the monitor) for nothing.
    if (target != remembered)
        pages->setCurrentIndex(target);
    pages->setTabVisible(consoleTab, console);
    pages->setTabVisible(monitorTab, monitor);
    if (target >= 0 && pages->currentIndex() != target)
        pages->setCurrentIndex(target);
}

} // namespace

void FillSettingsLists(const SettingsViewModel& model, QTreeWidget* hardware, QTreeWidget* drives,
                       QTreeWidget* advanced, QTabWidget* pages, int consoleTab, int monitorTab,
                       const ImageStrip& mi)
{
    fillList(hardware, model.hardware, mi);
    fillList(drives, model.drives, mi);
    fillList(advanced, model.advanced, mi);
    if (pages)
        showRunTimeTabs(pages, consoleTab, monitorTab, model.showConsole, model.showMonitor);
}

#include "app/MainWindowLogic.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

QPoint CentredPanelPosition(const QSize& area, const QSize& panel)
{
    const int left = panel.width() < area.width() ? (area.width() - panel.width()) / 2 : 0;
    const int top = panel.height() < area.height() ? (area.height() - panel.height()) / 2 : 0;
    return {left, top};
}

int CompareVMNames(const QString& a, const QString& b)
{
    // Building a collator is costly; keep one for the locale in force, on each thread that sorts.
    thread_local QCollator collator;
    thread_local QString localeName;
    const QLocale locale;
    if (locale.name() != localeName || collator.caseSensitivity() != Qt::CaseInsensitive) {
        collator = QCollator(locale);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        localeName = locale.name();
    }
    const int primary = collator.compare(a, b);
    if (primary != 0)
        return primary;
    return QString::compare(a, b, Qt::CaseSensitive);
}

QList<int> TreeOrder(const QStringList& names)
{
    QList<int> order(names.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&names](int a, int b) { return CompareVMNames(names[a], names[b]) < 0; });
    return order;
}

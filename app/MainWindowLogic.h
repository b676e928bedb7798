#pragma once

#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

// Where the visible display panel goes in the console area: centred on each axis where it is
// smaller than the area, else at 0.
QPoint CentredPanelPosition(const QSize& area, const QSize& panel);

// The order of the VM tree: the desktop's locale-aware comparison, case only breaking ties.
int CompareVMNames(const QString& a, const QString& b);
// The positions of names in the tree's order; equal names keep their order.
QList<int> TreeOrder(const QStringList& names);

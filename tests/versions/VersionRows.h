#pragma once

#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"

#include <QStringList>

// The version table's fields a row is written and compared by, in this order.
inline const QStringList RowFields{
    QStringLiteral("ID"),      QStringLiteral("DESC"),  QStringLiteral("VERSION"),
    QStringLiteral("VERID"),   QStringLiteral("PATH"),  QStringLiteral("INT"),
    QStringLiteral("USB"),     QStringLiteral("KQEMU"), QStringLiteral("FMOD"),
    QStringLiteral("CONSOLE"), QStringLiteral("BT"),    QStringLiteral("DEFAULT"),
    QStringLiteral("BOOT")};

// Appends rows given as "ID|DESC|VERSION|VERID|PATH|INT|USB|KQEMU|FMOD|CONSOLE|BT|DEFAULT|BOOT"
// (missing trailing parts stay empty) to the program folder's version table.
inline bool appendRows(const QStringList& rows)
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VersionTable);
    if (!handle.open())
        return false;
    for (const QString& row : rows) {
        const QStringList parts = row.split(QLatin1Char('|'));
        handle.insert();
        for (int i = 0; i < parts.size(); ++i)
            handle.setFieldValue(RowFields.at(i), parts.at(i));
        if (!handle.post())
            return false;
    }
    return true;
}

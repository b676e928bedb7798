#pragma once

#include "model/TableHandle.h"

#include <QList>
#include <QString>

// The fields of the four tables the program ships, in file order.
namespace TableSchemas {

inline const QString VMStoreTable = QStringLiteral("vmstore.dat");
inline const QString VersionTable = QStringLiteral("vrvers.dat");
inline const QString OpSysTable = QStringLiteral("opsys.dat");
inline const QString ProcessTable = QStringLiteral("process.dat");

QList<TableField> vmStoreFields();
QList<TableField> versionFields();
QList<TableField> opSysFields();
QList<TableField> processFields();

// Creates the four tables, empty, in the folder.
bool createProgramTables(const QString& folder, QString* error = nullptr);

} // namespace TableSchemas

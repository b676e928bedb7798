#include "model/TableSchemas.h"

namespace TableSchemas {

QList<TableField> vmStoreFields()
{
    return {{QStringLiteral("DSNAME"), 250},
            {QStringLiteral("DSID"), 100},
            {QStringLiteral("PATH"), 250}};
}

QList<TableField> versionFields()
{
    return {{QStringLiteral("VERSION"), 100}, {QStringLiteral("DESC"), 100},
            {QStringLiteral("BOOT"), 10},     {QStringLiteral("INT"), 10},
            {QStringLiteral("USB"), 10},      {QStringLiteral("PATH"), 250},
            {QStringLiteral("DEFAULT"), 10},  {QStringLiteral("KQEMU"), 10},
            {QStringLiteral("FMOD"), 10},     {QStringLiteral("ID"), 50},
            {QStringLiteral("BT"), 10},       {QStringLiteral("VERID"), 10},
            {QStringLiteral("CONSOLE"), 10}};
}

QList<TableField> opSysFields()
{
    return {{QStringLiteral("NAME"), 100},
            {QStringLiteral("DISK"), 20},
            {QStringLiteral("RAM"), 20},
            {QStringLiteral("INDEX"), 20},
            {QStringLiteral("HARDWARE"), 200}};
}

QList<TableField> processFields()
{
    return {{QStringLiteral("PROCESSID"), 100}, {QStringLiteral("VM"), 254}};
}

bool createProgramTables(const QString& folder, QString* error)
{
    const QString at = folder + QLatin1Char('/');
    return CreateTable(at + VMStoreTable, vmStoreFields(), error) &&
           CreateTable(at + VersionTable, versionFields(), error) &&
           CreateTable(at + OpSysTable, opSysFields(), error) &&
           CreateTable(at + ProcessTable, processFields(), error);
}

} // namespace TableSchemas

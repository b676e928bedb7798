#include "support/TempProgramFolder.h"

#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TempProgramFolder::TempProgramFolder(Content content)
{
    if (!m_dir.isValid())
        return;
    ProgramFolder::setPath(m_dir.path());
    using namespace TableSchemas;
    if (!createProgramTables(m_dir.path()))
        return;
    QDir(m_dir.path()).mkpath(QStringLiteral("VMs"));
    if (content == DefaultStore) {
        TableHandle stores;
        stores.setFolder(m_dir.path());
        stores.setTableName(VMStoreTable);
        if (!stores.open())
            return;
        stores.insert();
        stores.setFieldValue(QStringLiteral("DSNAME"), QStringLiteral("Default VM Store"));
        stores.setFieldValue(QStringLiteral("DSID"), QStringLiteral("0"));
        stores.setFieldValue(QStringLiteral("PATH"), QStringLiteral("{VR}\\VMs"));
        if (!stores.post())
            return;
    }
    m_valid = true;
}

bool TempProgramFolder::write(const QString& name, const QByteArray& bytes) const
{
    const QString path = file(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

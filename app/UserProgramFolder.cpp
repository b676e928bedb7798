#include "app/UserProgramFolder.h"

#include "app/ProgramFolderLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Links every read-only part of the installed folder (the image library, the manual, the console
// font, the floppy template, tapdiscover) into the user's folder under its own name. A link that
// points nowhere, left by a copy installed elsewhere before, is made afresh.
bool linkInstalledParts(const QString& installed, const QString& user, QString* error)
{
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    // System lists the font link too when it points nowhere (the font package missing).
    const auto entries =
        QDir(installed).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name == executable || name == QLatin1String(UserProgramFolder::InstalledMarker))
            continue;
        const QString link = user + QLatin1Char('/') + name;
        const QFileInfo there(link);
        if (there.exists() || there.symLinkTarget() == entry.absoluteFilePath())
            continue;
        if (there.isSymLink())
            QFile::remove(link);
        if (!QFile::link(entry.absoluteFilePath(), link)) {
            *error = QStringLiteral("cannot link %1 to %2").arg(link, entry.absoluteFilePath());
            return false;
        }
    }
    return true;
}

} // namespace

bool UserProgramFolder::isInstalled(const QString& executableFolder)
{
    return QFileInfo::exists(executableFolder + QLatin1Char('/') + QLatin1String(InstalledMarker));
}

QString UserProgramFolder::path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vimor");
}

std::optional<QString> UserProgramFolder::choose(const QString& executableFolder, QString* error)
{
    if (!isInstalled(executableFolder))
        return executableFolder;
    const QString user = path();
    QString reason;
    // The user's VMs, disks and settings are no one else's to read: the folder is made 0700, and
    // one an older release made 0755 is closed.
    const QFile::Permissions own = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const bool made = QDir().mkpath(QFileInfo(user).absolutePath()) &&
                      (QFileInfo(user).isDir() || QDir().mkdir(user, own)) &&
                      QFile::setPermissions(user, own);
    // The installed parts first, so "resource" is the installed folder rather than a new one.
    const bool ok = made && linkInstalledParts(executableFolder, user, &reason) &&
                    ProgramFolderLayout::layOut(user, &reason) &&
                    ProgramFolderLayout::linkHostQemu(user + QStringLiteral("/qemu"),
                                                      ProgramFolderLayout::Existing::Keep, &reason);
    if (!ok) {
        if (error)
            *error = reason.isEmpty() ? QStringLiteral("cannot create %1").arg(user) : reason;
        return std::nullopt;
    }
    return user;
}

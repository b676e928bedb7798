#include "platform/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace Shell {

bool open(const QString& target)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return false;
    return QProcess::startDetached(opener, {target});
}

bool installUserFont(const QString& fontFile, const QString& installedName, QString* error)
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = dataHome + QStringLiteral("/fonts");
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1").arg(folder);
        return false;
    }
    const QString target = folder + QLatin1Char('/') + installedName;
    QFile::remove(target);
    QFile source(fontFile);
    if (!source.copy(target)) {
        if (error)
            *error = source.errorString();
        return false;
    }
    // Let the desktop's font cache see the new file; the program itself has loaded it already.
    const QString fcCache = QStandardPaths::findExecutable(QStringLiteral("fc-cache"));
    if (!fcCache.isEmpty())
        QProcess::startDetached(fcCache, {folder});
    return true;
}

} // namespace Shell

#include "support/InstallerDisc.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const QString Installer =
    QStringLiteral("/usr/lib/debian-installer/images/12/amd64/text/debian-installer/amd64/");

// GRUB starts the installer at once. The last console= is the installer's own, which shows the
// first screen soonest: the serial port, which the tests read. all_video spares GRUB's EFI loader a
// "Booting in blind mode" without a framebuffer.
constexpr char GrubConfig[] = "set timeout=0\n"
                              "insmod all_video\n"
                              "menuentry 'Debian installer' {\n"
                              "    linux /install/linux console=tty0 console=ttyS0 --- quiet\n"
                              "    initrd /install/initrd.gz\n"
                              "}\n";

} // namespace

QString InstallerDisc(const QString& cacheFolder, QString* error)
{
    const auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return QString();
    };
    const QString mkrescue = QStandardPaths::findExecutable(QStringLiteral("grub-mkrescue"));
    if (!QFileInfo::exists(Installer + QStringLiteral("initrd.gz")))
        return fail(QStringLiteral("the package debian-installer-12-netboot-amd64 is needed"));
    if (mkrescue.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xorriso")).isEmpty())
        return fail(QStringLiteral("grub-mkrescue and xorriso are needed"));

    // A new disc whenever the installer or the recipe changes; the same one otherwise.
    QCryptographicHash key(QCryptographicHash::Sha1);
    key.addData(QByteArrayView(GrubConfig));
    for (const char* name : {"linux", "initrd.gz"}) {
        const QFileInfo input(Installer + QLatin1String(name));
        key.addData(QByteArray::number(input.lastModified().toMSecsSinceEpoch()));
    }
    const QDir folder(cacheFolder);
    const QString disc = folder.absoluteFilePath(
        QStringLiteral("installer-disc-%1.iso").arg(QString::fromLatin1(key.result().toHex())));
    if (QFileInfo::exists(disc))
        return disc;

    QTemporaryDir stage;
    QFile config(stage.filePath(QStringLiteral("boot/grub/grub.cfg")));
    if (!QDir(stage.path()).mkpath(QStringLiteral("boot/grub")) ||
        !config.open(QIODevice::WriteOnly) || config.write(GrubConfig) < 0)
        return fail(QStringLiteral("cannot write %1").arg(config.fileName()));
    config.close();
    // Made beside its final name and renamed, so a test running alongside never sees half a disc.
    const QString part = stage.filePath(QStringLiteral("disc.iso"));
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // The installer's two files are grafted onto the disc, not copied into the stage.
    process.start(mkrescue, {QStringLiteral("-o"), part, QStringLiteral("--locales="),
                             QStringLiteral("--fonts="), QStringLiteral("--themes="), stage.path(),
                             QStringLiteral("/install/linux=%1linux").arg(Installer),
                             QStringLiteral("/install/initrd.gz=%1initrd.gz").arg(Installer)});
    if (!process.waitForFinished(5 * 60 * 1000) || process.exitCode() != 0)
        return fail(QStringLiteral("grub-mkrescue failed: %1")
                        .arg(QString::fromLocal8Bit(process.readAll().right(2000))));
    const QString partInCache = disc + QStringLiteral(".part");
    QFile::remove(partInCache);
    if (!folder.mkpath(QStringLiteral(".")) || !QFile::copy(part, partInCache) ||
        !QFile::rename(partInCache, disc)) {
        // Another test may have finished the same disc first; then its copy serves.
        QFile::remove(partInCache);
        if (!QFileInfo::exists(disc))
            return fail(QStringLiteral("cannot write %1").arg(disc));
    }
    return disc;
}

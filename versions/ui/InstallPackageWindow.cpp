#include "versions/ui/InstallPackageWindow.h"

#include "model/Settings.h"
#include "platform/ui/Interaction.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString DownloadFailed =
    QStringLiteral("Unable to download the QEMU package, Please try again later");

} // namespace

InstallPackageWindow::InstallPackageWindow(const Package& package, const QString& installFolder,
                                           TableHandle& versions, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      m_package(package), m_folder(installFolder),
      m_archivePath(installFolder + QLatin1Char('/') + package.fileName), m_versions(versions)
{
    setWindowTitle(QStringLiteral("Install QEMU Package"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(QStringLiteral("Step 1:  Download QEMU Package..."), this);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    layout->addWidget(m_label);
    layout->addWidget(m_progress);
    setMinimumWidth(360);
}

InstallPackageWindow::~InstallPackageWindow() = default;

void InstallPackageWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_started)
        return;
    m_started = true;
    // Started a moment later, so that the window is painted before the work begins.
    QTimer::singleShot(m_startDelay, this, &InstallPackageWindow::startDownload);
}

void InstallPackageWindow::reject()
{
    // Escape must not close it while it works.
    if (m_ending)
        QDialog::reject();
}

void InstallPackageWindow::closeEvent(QCloseEvent* event)
{
    if (m_ending)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void InstallPackageWindow::startDownload()
{
    m_label->setText(QStringLiteral("Downloading QEMU Package..."));
    const QString base = SettingsFile().value(SettingKeys::PackageURL);
    if (base.isEmpty()) {
        end(false,
            QStringLiteral("Unable to retrieve QEMU package information, Please try again later"));
        return;
    }
    m_archive = std::make_unique<QFile>(m_archivePath);
    if (!m_archive->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        end(false, DownloadFailed);
        return;
    }
    m_get = new HttpGet(this);
    m_get->setStallTimeout(m_stallTimeout);
    // No archive may be larger than what it may unpack to.
    m_get->setMaxBytes(m_limits.maxTotalBytes);
    connect(m_get, &HttpGet::progress, this, &InstallPackageWindow::showProgress);
    connect(m_get, &HttpGet::finished, this, &InstallPackageWindow::downloadFinished);
    const QUrl url = PackageArchiveUrl(base, m_package.fileName);
    m_get->start(m_https ? HttpsForm(url) : url, m_archive.get());
}

void InstallPackageWindow::downloadFinished(bool ok)
{
    m_archive->close();
    if (!ok && m_get->tooLarge()) {
        end(false, QStringLiteral("The QEMU package is larger than %1, the most a package may "
                                  "unpack to. The download was stopped.")
                       .arg(ByteSizeText(m_limits.maxTotalBytes)));
        return;
    }
    if (!ok) {
        end(false, DownloadFailed);
        return;
    }
    if (!m_package.sha256.isEmpty() && !MatchesPackageSha256(m_package, m_get->sha256Hex())) {
        end(false, QStringLiteral("The QEMU package does not match the SHA-256 checksum in the "
                                  "package list. It was not installed."));
        return;
    }
    // Left to the event loop, so the transfer has wound down before the unpacking holds the thread.
    QMetaObject::invokeMethod(this, &InstallPackageWindow::install, Qt::QueuedConnection);
}

void InstallPackageWindow::install()
{
    m_label->setText(QStringLiteral("Unzipping QEMU Package..."));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    const auto unzipping = [this](qint64 done, qint64 total) {
        showProgress(done, total);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    if (!ExtractPackage(m_archivePath, m_folder, unzipping, nullptr, m_limits)) {
        end(false, QStringLiteral("There was a problem extracting the QEMU package"));
        return;
    }
    QFile::remove(m_archivePath);

    m_label->setText(QStringLiteral("Installing to Vimor..."));
    QString error;
    if (!AddPackageVersion(m_versions, m_package, m_folder, &error)) {
        // A row that could not be written must not be reported as installed.
        end(false, error);
        return;
    }
    Interaction::information(this,
                             QStringLiteral("Package Installation was completed successfully"));
    end(true, {});
}

void InstallPackageWindow::showProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        m_progress->setRange(0, 0);
        return;
    }
    // The bar counts in int: large files are shown in kilobytes.
    int shift = 0;
    while ((total >> shift) > std::numeric_limits<int>::max())
        shift += 10;
    m_progress->setRange(0, int(total >> shift));
    m_progress->setValue(int(qMin(done, total) >> shift));
}

void InstallPackageWindow::end(bool installed, const QString& message)
{
    if (!message.isEmpty())
        Interaction::error(this, message);
    // The folder was made for this package alone; left behind it would refuse the next attempt.
    if (!installed)
        QDir(m_folder).removeRecursively();
    m_ending = true;
    done(installed ? QDialog::Accepted : QDialog::Rejected);
}

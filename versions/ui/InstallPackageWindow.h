#pragma once

#include "versions/Packages.h"

#include <QDialog>

#include <memory>

class QFile;
class QLabel;
class QProgressBar;
class TableHandle;

// The "Install QEMU Package" window: once shown, downloads the package's archive into its install
// folder, unpacks it there, deletes the archive and adds the version row, reporting each failure
// and closing itself. The user cannot close it. Accepted only when the package was installed;
// otherwise the install folder, which the caller has just made for it, is removed again. An
// archive larger than the extraction limit is stopped, and one whose SHA-256 differs from the
// list's is not unpacked.
class InstallPackageWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstallPackageWindow)

public:
    InstallPackageWindow(const Package& package, const QString& installFolder,
                         TableHandle& versions, QWidget* parent = nullptr);
    ~InstallPackageWindow() override;

    QLabel* label() const { return m_label; }
    QProgressBar* progressBar() const { return m_progress; }
    // For tests: the delay before the work starts, and the download's stall timeout.
    void setStartDelay(int milliseconds) { m_startDelay = milliseconds; }
    void setStallTimeout(int milliseconds) { m_stallTimeout = milliseconds; }
    void setExtractLimits(const ExtractLimits& limits) { m_limits = limits; }
    // The list came over HTTPS: so must the archive, with no way back to plain HTTP.
    void setHttps(bool https) { m_https = https; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void startDownload();
    void downloadFinished(bool ok);
    void install();
    void showProgress(qint64 done, qint64 total);
    void end(bool installed, const QString& message);

    Package m_package;
    QString m_folder;
    QString m_archivePath;
    TableHandle& m_versions;
    QLabel* m_label = nullptr;
    QProgressBar* m_progress = nullptr;
    std::unique_ptr<QFile> m_archive;
    HttpGet* m_get = nullptr;
    ExtractLimits m_limits;
    int m_startDelay = 1000;
    int m_stallTimeout = 60000;
    bool m_https = false;
    bool m_started = false;
    bool m_ending = false;
};

#pragma once

#include "versions/Packages.h"

#include <QDialog>
#include <QList>

#include <functional>

class QLabel;
class QTreeWidget;
class QPushButton;
class TableHandle;

// The "Download QEMU" window: the packages of the server's list, one to choose for download.
class DownloadQemuWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadQemuWindow)

public:
    // listOverHttps: how the list arrived, told to the user with whether the chosen package
    // will be verified.
    DownloadQemuWindow(const QList<Package>& packages, bool listOverHttps,
                       QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QLabel* notice() const { return m_notice; }
    QPushButton* downloadButton() const { return m_download; }
    // The chosen row, -1 when none is selected.
    int selectedRow() const;

    // Warns without a chosen row and stays open; accepts with one.
    void DownloadClick();

private:
    void showNotice();

    QList<Package> m_packages;
    bool m_overHttps;
    QTreeWidget* m_list = nullptr;
    QLabel* m_notice = nullptr;
    QPushButton* m_download = nullptr;
};

// The package download command. Fetches the server's package list in the background; once it has
// arrived, lets the user choose a package, makes its install folder and runs the "Install QEMU
// Package" window, all in front of parent. The list is asked for over HTTPS first (see HttpGet);
// the archive then comes the same way. installWindowClosed then gets the package's
// description, whatever the installation's outcome (the caller refreshes its version list); it is
// not called when the command ends earlier. versions is the version table the row is added to.
// Returns the list transfer, which deletes itself once the list has arrived or failed (or with
// parent), or null when no server address is set.
QObject* DownloadPackage(QWidget* parent, TableHandle& versions,
                         std::function<void(const QString& description)> installWindowClosed = {});

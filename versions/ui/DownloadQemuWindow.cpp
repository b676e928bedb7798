#include "versions/ui/DownloadQemuWindow.h"

#include "model/Settings.h"
#include "platform/ui/Interaction.h"
#include "versions/ui/InstallPackageWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString NotVerified = QStringLiteral("None - not verified");

} // namespace

DownloadQemuWindow::DownloadQemuWindow(const QList<Package>& packages, bool listOverHttps,
                                       QWidget* parent)
    : QDialog(parent), m_packages(packages), m_overHttps(listOverHttps)
{
    setWindowTitle(QStringLiteral("Download QEMU"));
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    m_list = new QTreeWidget;
    m_list->setRootIsDecorated(false);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHeaderLabels({QStringLiteral("Filename"), QStringLiteral("Description"),
                             QStringLiteral("Version ID"), QStringLiteral("Checksum")});
    for (const Package& package : packages)
        m_list->addTopLevelItem(new QTreeWidgetItem(
            {package.fileName, package.description, package.code,
             package.sha256.isEmpty() ? NotVerified : QStringLiteral("SHA-256")}));
    tabs->addTab(m_list, QStringLiteral("Downloadable Versions"));
    layout->addWidget(tabs);
    m_notice = new QLabel(this);
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    layout->addWidget(m_notice);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &DownloadQemuWindow::showNotice);
    showNotice();

    auto* buttons = new QDialogButtonBox(this);
    m_download = buttons->addButton(QStringLiteral("Download"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(m_download, &QPushButton::clicked, this, &DownloadQemuWindow::DownloadClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(520, 300);
}

int DownloadQemuWindow::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.constFirst());
}

void DownloadQemuWindow::showNotice()
{
    QString text = m_overHttps ? QStringLiteral("The package list came over HTTPS.")
                               : QStringLiteral("The package list came over plain HTTP: the server "
                                                "offers no HTTPS.");
    const int row = selectedRow();
    if (row >= 0 && m_packages.at(row).sha256.isEmpty())
        text += QStringLiteral("\nThis package is not verified: the package list gives no "
                               "SHA-256 for it.");
    else if (row >= 0)
        text += QStringLiteral("\nThis package is checked against its SHA-256 before it is "
                               "unpacked.");
    m_notice->setText(text);
}

void DownloadQemuWindow::DownloadClick()
{
    if (selectedRow() < 0) {
        Interaction::warning(this, QStringLiteral("Please select a QEMU package to download"));
        return;
    }
    accept();
}

namespace {

const QString ListFailed =
    QStringLiteral("Unable to retrieve QEMU package information, Please try again later");

// The command from the list's arrival to the end of the installation.
void ChooseAndInstall(QWidget* parent, TableHandle& versions, const QByteArray& list,
                      bool overHttps,
                      const std::function<void(const QString&)>& installWindowClosed)
{
    const std::optional<QList<Package>> packages = ParsePackageList(list);
    if (!packages) {
        Interaction::error(parent, ListFailed);
        return;
    }
    DownloadQemuWindow chooser(*packages, overHttps, parent);
    if (Interaction::current().execDialog(chooser) != QDialog::Accepted ||
        chooser.selectedRow() < 0)
        return;
    const Package package = packages->at(chooser.selectedRow());

    // A name from the server must not lead anywhere but to a new folder of the program folder.
    const QString folder = PackageInstallFolder(package.fileName);
    if (folder.isEmpty()) {
        Interaction::error(parent,
                           QStringLiteral("There was a problem extracting the QEMU package"));
        return;
    }
    // Never into a folder that is there already: a package named like the VM store or another
    // version would unpack over its files.
    const QFileInfo existing(folder);
    if (existing.exists() || existing.isSymLink()) {
        Interaction::error(parent, QStringLiteral("The folder %1 already exists. The package was "
                                                  "not installed; remove or rename that folder "
                                                  "to install it.")
                                       .arg(folder));
        return;
    }
    if (!QDir().mkdir(folder)) {
        Interaction::error(parent, QStringLiteral("Unable to create download directory"));
        return;
    }
    InstallPackageWindow installer(package, folder, versions, parent);
    installer.setHttps(overHttps);
    Interaction::current().execDialog(installer);
    if (installWindowClosed)
        installWindowClosed(package.description);
}

} // namespace

QObject* DownloadPackage(QWidget* parent, TableHandle& versions,
                         std::function<void(const QString& description)> installWindowClosed)
{
    const QString base = SettingsFile().value(SettingKeys::PackageURL);
    if (base.isEmpty())
        return nullptr;
    auto* get = new HttpGet(parent);
    QObject::connect(
        get, &HttpGet::finished, get,
        [get, parent = QPointer<QWidget>(parent), &versions,
         done = std::move(installWindowClosed)](bool ok) {
            get->deleteLater();
            // A failed transfer says nothing, except a list too large to be a package list.
            const bool tooLarge = get->tooLarge();
            if (!ok && !tooLarge)
                return;
            // The windows run after the transfer has wound down, and not at all once the window
            // that asked for them is gone.
            QObject* context = parent ? static_cast<QObject*>(parent.data()) : qApp;
            QTimer::singleShot(
                0, context,
                [parent, &versions, list = get->data(), https = get->overHttps(), tooLarge, done] {
                    if (tooLarge)
                        Interaction::error(parent, QStringLiteral("The package list from the "
                                                                  "server is larger than %1. It "
                                                                  "was not read.")
                                                       .arg(ByteSizeText(MaxPackageListBytes)));
                    else
                        ChooseAndInstall(parent, versions, list, https, done);
                });
        });
    get->setMaxBytes(MaxPackageListBytes);
    get->setPreferHttps(true);
    get->start(PackageListUrl(base));
    return get;
}

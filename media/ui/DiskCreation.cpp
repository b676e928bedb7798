#include "media/ui/DiskCreation.h"

#include "library/VMStores.h"
#include "media/DiskImages.h"
#include "media/DriveValues.h"
#include "media/ui/NewDiskImageDialog.h"
#include "model/ProgramFolder.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"

#include <QGuiApplication>
#include <QWidget>

namespace {

const QString DrivesSection = QStringLiteral("Drives");

// The encryption key of hard disk 0 to 3.
QString encryptionKey(int drive)
{
    static const QStringList keys = {QStringLiteral("HDAEnc"), QStringLiteral("HDBEnc"),
                                     QStringLiteral("HDCEnc"), QStringLiteral("HDDEnc")};
    return keys.value(drive);
}

// qemu-img blocks the window until it ends; the cursor says so.
class BusyCursor final
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(BusyCursor)
};

} // namespace

DiskCreation::DiskCreation(VMContext& vm, QWidget* parent)
    : QObject(parent), m_vm(vm), m_dialog(new NewDiskImageDialog(parent))
{}

DiskCreation::~DiskCreation()
{
    // Without a parent window nobody else deletes it.
    delete m_dialog;
}

QString DiskCreation::CreateDiskImage(QWidget* parent, int typePosition, int sizeMB, bool compress,
                                      bool encrypt, const QString& basePath)
{
    QString created;
    if (encrypt) {
        // Today's qemu-img encrypts with LUKS, whose password is given when the image is made.
        const QString title = QStringLiteral("Disk Password");
        const std::optional<QString> password = Interaction::current().password(
            parent, title, QStringLiteral("Password for the new encrypted disk image:"));
        if (!password || password->isEmpty())
            return {};
        if (Interaction::current().password(
                parent, title, QStringLiteral("Type the password again:")) != password) {
            Interaction::error(parent, QStringLiteral("The two passwords differ. The disk image "
                                                      "was not created."));
            return {};
        }
        QString error;
        {
            const BusyCursor busy;
            created = CreateEncryptedDiskImage(typePosition, sizeMB, *password, basePath, &error);
        }
        if (created.isEmpty())
            Interaction::error(parent, QStringLiteral("Error: ") + error);
        return created;
    }
    {
        const BusyCursor busy;
        created = ::CreateDiskImage(typePosition, sizeMB, compress, encrypt, basePath);
    }
    if (created.isEmpty())
        Interaction::error(parent,
                           QStringLiteral("Error: Disk image was not created successfully"));
    return created;
}

QString DiskCreation::NewDiskDialog(int drive, bool startInImages)
{
    NewDiskImageDialog& window = *m_dialog;
    window.preset();
    if (Interaction::current().execDialog(window) != QDialog::Accepted)
        return {};

    QString startFolder;
    if (startInImages) {
        startFolder = ProgramFolder::nativeExpanded(QStringLiteral("{VR}\\images"));
    } else {
        const QString storeId =
            m_vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("VM Store ID"));
        startFolder =
            FindVMStore(m_vm.table(VMContext::Table::VLookup), storeId).value_or(QString());
    }

    Interaction::FileRequest request;
    request.title = QStringLiteral("Save Virtual Disk as");
    request.folder = startFolder;
    request.filter =
        Interaction::pipeFilter(QStringLiteral("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw"));
    request.confirmOverwrite = true;
    const std::optional<QString> chosen =
        Interaction::current().saveFileName(m_vm.dialogParent(), request);
    if (!chosen || chosen->isEmpty())
        return {};

    const bool encrypt = window.encrypt();
    const QString created =
        CreateDiskImage(m_vm.dialogParent(), window.typePosition(), window.sizeMB(),
                        window.compress(), encrypt, DiskBasePath(*chosen));
    // The drive editor reads the key back to tick "Drive is Encrypted", created or not.
    if (drive >= 0 && drive <= 3)
        m_vm.WriteVMValue({}, DrivesSection, encryptionKey(drive),
                          encrypt ? QStringLiteral("Yes") : QStringLiteral("No"));
    if (created.isEmpty())
        return {};
    return StoredPathFor(created, startFolder);
}

void DiskCreation::CreateNewVirtualDiskClick()
{
    if (!NewDiskDialog(-1, true).isEmpty())
        Interaction::information(m_vm.dialogParent(),
                                 QStringLiteral("Virtual Disk created successfully"));
}

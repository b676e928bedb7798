#include "library/ui/NewVMWizard.h"

#include "library/OsProfiles.h"
#include "library/VMStores.h"
#include "library/ui/VMStoresWindow.h"
#include "media/DiskImages.h"
#include "media/DriveValues.h"
#include "media/ui/DiskCreation.h"
#include "media/ui/DriveFormatChoice.h"
#include "model/HardwareCatalogue.h"
#include "model/ProgramFolder.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"
#include "versions/VersionRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

enum Page
{
    GeneralPage,
    MemoryPage,
    AdvancedPage
};

QLabel* wrappedLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

} // namespace

NewVMWizard::NewVMWizard(VMContext& vm, StoreLists& lists, QWidget* parent)
    : QDialog(parent), m_vm(vm), m_lists(lists)
{
    setWindowTitle(QStringLiteral("New Virual Machine Wizard"));
    m_pages = new QStackedWidget(this);
    m_pages->addWidget(createPage1());
    m_pages->addWidget(createPage2());
    m_pages->addWidget(createPage3());

    m_back = new QPushButton(QStringLiteral("< &Back"), this);
    m_next = new QPushButton(QStringLiteral("&Next >"), this);
    m_finish = new QPushButton(QStringLiteral("&Finish"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_back, &QPushButton::clicked, this, &NewVMWizard::backClick);
    connect(m_next, &QPushButton::clicked, this, &NewVMWizard::nextClick);
    connect(m_finish, &QPushButton::clicked, this, &NewVMWizard::finishClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_finish);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);
}

QWidget* NewVMWizard::pageHeader(const QString& subtitle, const QStringList& lines)
{
    auto* header = new QWidget;
    auto* layout = new QVBoxLayout(header);
    auto* title = new QLabel(QStringLiteral("New Virtual Machine Wizard"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addWidget(wrappedLabel(subtitle));
    for (const QString& line : lines)
        layout->addWidget(wrappedLabel(line));
    return header;
}

QWidget* NewVMWizard::createPage1()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeader(
        QStringLiteral("Welcome to the new virtual machine wizard.   This wizard will help you "
                       "create a new virtual machine."),
        {QStringLiteral("First please specify a virtual machine name and the type of virtual "
                        "machine you wish to create.")}));

    auto* group = new QGroupBox(QStringLiteral("General"));
    auto* form = new QVBoxLayout(group);
    form->addWidget(wrappedLabel(QStringLiteral("Please enter a name for your virtual machine")));
    m_name = new QLineEdit;
    form->addWidget(m_name);

    form->addWidget(wrappedLabel(QStringLiteral(
        "Please specify where you wish to store your virtual machine configuration and disk "
        "images:")));
    auto* storeRow = new QHBoxLayout;
    m_stores = new QComboBox;
    auto* createStore = new QPushButton(QStringLiteral("Create New"));
    connect(createStore, &QPushButton::clicked, this, &NewVMWizard::createStoreClick);
    storeRow->addWidget(m_stores, 1);
    storeRow->addWidget(createStore);
    form->addLayout(storeRow);

    form->addWidget(
        wrappedLabel(QStringLiteral("Please select the platform for the virtual machine. ")));
    m_platforms = new QComboBox;
    for (const Platform& platform : GuestPlatforms())
        m_platforms->addItem(platform.name, platform.arc);
    connect(m_platforms, &QComboBox::currentIndexChanged, this, &NewVMWizard::platformChanged);
    form->addWidget(m_platforms);

    form->addWidget(new QLabel(QStringLiteral("Operating System")));
    m_os = new QComboBox;
    m_os->setEditable(true);
    m_os->setInsertPolicy(QComboBox::NoInsert);
    connect(m_os, &QComboBox::currentTextChanged, this, &NewVMWizard::platformChanged);
    form->addWidget(m_os);

    form->addWidget(new QLabel(QStringLiteral("Installation medium (CD/DVD image, optional):")));
    auto* mediumRow = new QHBoxLayout;
    m_medium = new QLineEdit;
    auto* browseMedium = new QPushButton(QStringLiteral("Browse..."));
    connect(browseMedium, &QPushButton::clicked, this, &NewVMWizard::browseMediumClick);
    mediumRow->addWidget(m_medium, 1);
    mediumRow->addWidget(browseMedium);
    form->addLayout(mediumRow);

    form->addWidget(wrappedLabel(QStringLiteral(
        "Vimor supports multiple versions of QEMU, depending on the version you select")));
    form->addWidget(wrappedLabel(QStringLiteral(
        "will lock / unlock certain features of Vimor. If unsure do not change this setting.")));
    form->addWidget(new QLabel(QStringLiteral("QEMU Version:")));
    m_versions = new QComboBox;
    form->addWidget(m_versions);

    layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget* NewVMWizard::createPage2()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeader(QStringLiteral("Virtual Machine Settings"),
                                 {QStringLiteral("Please specfiy the amount of memory, and hard "
                                                 "disk type/size your require.")}));

    auto* memoryGroup = new QGroupBox(QStringLiteral("Memory Size"));
    auto* memoryLayout = new QVBoxLayout(memoryGroup);
    memoryLayout->addWidget(wrappedLabel(QStringLiteral(
        "Please specify the required amount of RAM memory for the virtual machine:")));
    auto* sliderRow = new QHBoxLayout;
    m_memorySlider = new QSlider(Qt::Horizontal);
    m_memorySlider->setTickPosition(QSlider::TicksBelow);
    m_memorySlider->setTickInterval(NewVM::MemoryTickStep);
    m_memoryTop = new QLabel;
    sliderRow->addWidget(new QLabel(QStringLiteral("0MB")));
    sliderRow->addWidget(m_memorySlider, 1);
    sliderRow->addWidget(m_memoryTop);
    memoryLayout->addLayout(sliderRow);
    auto* memoryRow = new QHBoxLayout;
    m_memory = new QSpinBox;
    memoryRow->addWidget(m_memory);
    memoryRow->addWidget(new QLabel(QStringLiteral("MB")));
    memoryRow->addStretch();
    memoryLayout->addLayout(memoryRow);
    // The box takes any number typed (a box limited to the host's memory would drop the last
    // keystroke of 5000 on a 2048 MB host and keep 500); what is above the host's memory is
    // brought down to it, and the slider follows.
    connect(m_memorySlider, &QSlider::valueChanged, m_memory, &QSpinBox::setValue);
    connect(m_memory, &QSpinBox::valueChanged, this, [this](int typed) {
        const int clamped = std::clamp(typed, m_memorySlider->minimum(), m_memorySlider->maximum());
        m_memorySlider->setValue(clamped);
        if (clamped != typed)
            m_memory->setValue(clamped);
    });
    layout->addWidget(memoryGroup);

    auto* diskGroup = new QGroupBox(QStringLiteral("Primary Virtual Hard Disk"));
    auto* diskLayout = new QVBoxLayout(diskGroup);
    m_createDisk = new QRadioButton(QStringLiteral("Create New Virtual Disk Image."));
    m_existingDisk = new QRadioButton(QStringLiteral("Use an  Existing Virtual Disk Image."));
    m_noDisk = new QRadioButton(QStringLiteral("Do not use an Virtual Disk Image."));
    for (QRadioButton* choice : {m_createDisk, m_existingDisk, m_noDisk}) {
        diskLayout->addWidget(choice);
        connect(choice, &QRadioButton::toggled, this, &NewVMWizard::diskChoiceChanged);
    }
    layout->addWidget(diskGroup);

    m_newDiskGroup = new QGroupBox(QStringLiteral("New Virtual Disk Image"));
    auto* newLayout = new QVBoxLayout(m_newDiskGroup);
    newLayout->addWidget(new QLabel(QStringLiteral("Disk Image type:")));
    m_diskType = new QComboBox;
    m_diskType->addItems({QStringLiteral("Qcow (QEMU Image Format)"),
                          QStringLiteral("Qcow2  (Default QEMU Image Format)"),
                          QStringLiteral("Raw (Raw Disk Image File)"),
                          QStringLiteral("vmdk (VMWare Image Format)")});
    connect(m_diskType, &QComboBox::currentIndexChanged, this, &NewVMWizard::diskTypeChanged);
    newLayout->addWidget(m_diskType);
    newLayout->addWidget(new QLabel(QStringLiteral("Disk Image Size:")));
    auto* sizeRow = new QHBoxLayout;
    m_diskSize = new QSpinBox;
    m_diskSize->setRange(0, std::numeric_limits<int>::max());
    m_diskSize->setSingleStep(100);
    m_sizeLabel = new QLabel;
    connect(m_diskSize, &QSpinBox::valueChanged, this,
            [this](int size) { m_sizeLabel->setText(NewVM::SizeLabel(size)); });
    sizeRow->addWidget(m_diskSize);
    sizeRow->addWidget(m_sizeLabel);
    sizeRow->addStretch();
    newLayout->addLayout(sizeRow);
    m_encrypt = new QCheckBox(QStringLiteral("Encrypt Disk"));
    m_compress = new QCheckBox(QStringLiteral("Compress Disk"));
    newLayout->addWidget(m_encrypt);
    newLayout->addWidget(m_compress);
    layout->addWidget(m_newDiskGroup);

    m_existingGroup = new QGroupBox(QStringLiteral("Select Existing Virtual Disk Image"));
    auto* existingLayout = new QVBoxLayout(m_existingGroup);
    existingLayout->addWidget(
        new QLabel(QStringLiteral("Please specify the path to the Virtual Disk")));
    auto* pathRow = new QHBoxLayout;
    m_existingPath = new QLineEdit;
    auto* browse = new QPushButton(QStringLiteral(".."));
    connect(browse, &QPushButton::clicked, this, &NewVMWizard::browseExistingDiskClick);
    pathRow->addWidget(m_existingPath, 1);
    pathRow->addWidget(browse);
    existingLayout->addLayout(pathRow);
    m_existingEncrypted = new QCheckBox(QStringLiteral("Disk is encrypted"));
    existingLayout->addWidget(m_existingEncrypted);
    layout->addWidget(m_existingGroup);
    layout->addStretch();
    return page;
}

QWidget* NewVMWizard::createPage3()
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(pageHeader(
        QStringLiteral("Advanced Settings"),
        {QStringLiteral("If prompted enter some final information below. "),
         QStringLiteral("You will be able to make further hardware editions once the virtual "
                        "machine has been created.")}));

    m_kernelGroup = new QGroupBox(QStringLiteral("Kernel && Initial Ram Disk Images"));
    auto* kernelLayout = new QVBoxLayout(m_kernelGroup);
    const auto imageRow = [kernelLayout](const QString& caption, QLineEdit*& box) {
        kernelLayout->addWidget(new QLabel(caption));
        auto* row = new QHBoxLayout;
        box = new QLineEdit;
        auto* browse = new QPushButton(QStringLiteral(".."));
        row->addWidget(box, 1);
        row->addWidget(browse);
        kernelLayout->addLayout(row);
        return browse;
    };
    connect(imageRow(QStringLiteral("Kernel  Path:"), m_kernel), &QPushButton::clicked, this,
            &NewVMWizard::browseKernelClick);
    connect(imageRow(QStringLiteral("Initial Ram Disk (initrd):"), m_initrd), &QPushButton::clicked,
            this, &NewVMWizard::browseInitrdClick);
    layout->addWidget(m_kernelGroup);

    m_outputGroup = new QGroupBox(QStringLiteral("Virtual Machine Output"));
    auto* outputLayout = new QVBoxLayout(m_outputGroup);
    outputLayout->addWidget(
        new QLabel(QStringLiteral("Specify how the virtual machine will be displayed:")));
    m_output = new QComboBox;
    m_output->addItems(NewVM::OutputTexts());
    connect(m_output, &QComboBox::currentIndexChanged, this, &NewVMWizard::outputChanged);
    outputLayout->addWidget(m_output);
    m_vncRow = new QWidget;
    auto* vncLayout = new QHBoxLayout(m_vncRow);
    vncLayout->setContentsMargins(0, 0, 0, 0);
    vncLayout->addWidget(new QLabel(QStringLiteral("Please specify the VNC Display Number")));
    m_vncNumber = new QSpinBox;
    m_vncNumber->setRange(0, std::numeric_limits<int>::max());
    m_vncNumber->setValue(NewVM::DefaultVncNumber);
    vncLayout->addWidget(m_vncNumber);
    vncLayout->addStretch();
    outputLayout->addWidget(m_vncRow);
    layout->addWidget(m_outputGroup);
    layout->addStretch();
    return page;
}

void NewVMWizard::reset()
{
    {
        const QSignalBlocker block(m_platforms);
        m_platforms->setCurrentIndex(0);
    }
    m_existingEncrypted->setChecked(false);
    m_encrypt->setChecked(false);
    m_compress->setChecked(false);
    m_name->clear();
    m_kernel->clear();
    m_initrd->clear();
    m_existingPath->clear();
    m_medium->clear();
    m_hardware = {};

    fillStores(0);

    {
        const QSignalBlocker block(m_os);
        m_os->clear();
        m_os->addItems(ListProfileNames(m_vm.table(VMContext::Table::OpSys)));
        m_os->setCurrentIndex(-1);
        m_os->clearEditText();
    }
    platformChanged();

    m_versions->clear();
    const QList<NewVM::VersionEntry> versions =
        NewVM::ListVersions(m_vm.table(VMContext::Table::VRVers));
    for (const NewVM::VersionEntry& version : versions)
        m_versions->addItem(version.description, version.id);
    m_versions->setCurrentIndex(
        NewVM::DefaultVersionIndex(versions, m_vm.versions().DefaultVersion().id));

    showPage(GeneralPage);
    m_name->setFocus();
}

void NewVMWizard::fillStores(int select)
{
    m_stores->clear();
    m_stores->addItems(m_lists.names);
    m_stores->setCurrentIndex(select < m_stores->count() ? select : m_stores->count() - 1);
}

QString NewVMWizard::NewVMClick()
{
    reset();
    if (Interaction::current().execDialog(*this) != QDialog::Accepted)
        return {};
    QWidget* const parent = m_vm.dialogParent();
    QString error;
    NewVM::Plan chosen = plan();
    // A cloud image named .img is offered with its container's format, as in the drive editors.
    if (chosen.disk == NewVM::DiskChoice::Existing && !chosen.existingDisk.isEmpty())
        chosen.existingDiskFormat = DriveFormatChoice::ForChosenFile(parent, chosen.existingDisk);
    if (!chosen.installMedium.isEmpty())
        chosen.installMediumFormat = DriveFormatChoice::ForChosenFile(
            parent, ProgramFolder::nativeExpanded(chosen.installMedium));
    const QString vmFile = NewVM::ComposeVM(
        chosen, m_vm.versions(),
        [parent](int type, int sizeMB, bool compress, bool encrypt, const QString& basePath) {
            return DiskCreation::CreateDiskImage(parent, type, sizeMB, compress, encrypt, basePath);
        },
        &error);
    if (vmFile.isEmpty() && !error.isEmpty())
        Interaction::error(parent, error);
    return vmFile;
}

int NewVMWizard::currentPage() const
{
    return m_pages->currentIndex();
}

void NewVMWizard::showPage(int page)
{
    m_pages->setCurrentIndex(page);
    m_back->setEnabled(page != GeneralPage);
    m_next->setVisible(page != AdvancedPage);
    m_finish->setVisible(page == AdvancedPage);
}

void NewVMWizard::nextClick()
{
    if (currentPage() == GeneralPage) {
        const QString name = m_name->text();
        if (name.isEmpty()) {
            Interaction::warning(this,
                                 QStringLiteral("Please enter a name for the virtual machine"));
            return;
        }
        if (const QString problem = NewVM::NameProblem(name); !problem.isEmpty()) {
            Interaction::warning(this, problem);
            return;
        }
        if (const QString problem = NewVM::InstallMediumProblem(m_medium->text());
            !problem.isEmpty()) {
            Interaction::warning(this, problem);
            return;
        }
        if (!preparePage2())
            return;
        if (VMNameExists(m_vm.table(VMContext::Table::VMStore), name)) {
            Interaction::error(this,
                               QStringLiteral("A Virtual Machine with this name already exists!"));
            return;
        }
        showPage(MemoryPage);
        return;
    }
    if (currentPage() == MemoryPage) {
        const NewVM::Plan chosen = plan();
        if (!NewVM::Page2Complete(chosen.ram, chosen.disk, chosen.diskSize,
                                  m_diskType->currentIndex(), chosen.existingDisk)) {
            Interaction::warning(this, QStringLiteral("Please enter all the required details"));
            return;
        }
        preparePage3();
        showPage(AdvancedPage);
    }
}

void NewVMWizard::backClick()
{
    if (currentPage() > GeneralPage)
        showPage(currentPage() - 1);
}

void NewVMWizard::finishClick()
{
    accept();
}

bool NewVMWizard::preparePage2()
{
    const int host = NewVM::HostMemoryMB();
    m_memorySlider->setRange(0, host);
    m_memory->setRange(0, std::numeric_limits<int>::max());
    m_memoryTop->setText(QString::number(host) + QStringLiteral(" MB."));
    m_createDisk->setChecked(true);
    m_diskType->setCurrentIndex(DiskImageTypes::Qcow2);
    diskTypeChanged();
    const NewVM::MemoryAndDisk preset = NewVM::PresetFor(
        m_vm.table(VMContext::Table::OpSys), m_os->currentIndex() >= 0, m_os->currentText(), host);
    m_memorySlider->setValue(preset.ram);
    m_memory->setValue(preset.ram);
    m_diskSize->setValue(preset.diskSize);
    m_sizeLabel->setText(NewVM::SizeLabel(m_diskSize->value()));
    diskChoiceChanged();
    m_hardware = preset.hardware;
    HardwarePreset fallback;
    if (const QString missing = NewVM::MissingHostParts(m_hardware, &fallback);
        !missing.isEmpty()) {
        if (!Interaction::confirm(this, missing))
            return false;
        m_hardware = fallback;
    }
    return true;
}

void NewVMWizard::preparePage3()
{
    m_kernelGroup->setVisible(selectedArc() != QLatin1String("x86"));
    const NewVM::OutputState state =
        NewVM::OutputStateFor(m_vm.versions(), m_versions->currentData().toString());
    m_outputGroup->setEnabled(state.groupEnabled);
    m_output->setCurrentIndex(static_cast<int>(state.choice));
    m_output->setEnabled(state.listEnabled);
    outputChanged();
}

void NewVMWizard::platformChanged()
{
    m_defaults = NewVM::DefaultsFor(selectedArc());
}

void NewVMWizard::diskChoiceChanged()
{
    m_newDiskGroup->setVisible(m_createDisk->isChecked());
    m_existingGroup->setVisible(m_existingDisk->isChecked());
}

void NewVMWizard::diskTypeChanged()
{
    const bool qcow2 = m_diskType->currentIndex() == DiskImageTypes::Qcow2;
    if (!qcow2) {
        m_encrypt->setChecked(false);
        m_compress->setChecked(false);
    }
    m_encrypt->setEnabled(qcow2);
    m_compress->setEnabled(qcow2);
}

void NewVMWizard::outputChanged()
{
    m_vncRow->setVisible(m_output->currentIndex() == static_cast<int>(NewVM::Output::Vnc));
}

QString NewVMWizard::selectedArc() const
{
    return m_platforms->currentData().toString();
}

QString NewVMWizard::selectedStoreFolder() const
{
    const int store = m_stores->currentIndex();
    if (store < 0)
        return {};
    return ExpandedStoreFolder(m_lists.folders.value(store));
}

void NewVMWizard::createStoreClick()
{
    const std::optional<QString> name =
        Interaction::current().text(this, QStringLiteral("VM Store Name"),
                                    QStringLiteral("Enter a name for the new VM Store"), QString());
    if (!name)
        return;
    const std::optional<QString> folder =
        BrowseForFolder(this, QStringLiteral("Select New VM Store Folder"));
    if (!folder)
        return;
    TableHandle& stores = m_vm.table(VMContext::Table::VMStore);
    QString error;
    if (!AddStore(stores, *name, *folder, &error)) {
        Interaction::error(this, error);
        return;
    }
    LoadStoreLists(stores, m_lists, true);
    fillStores(static_cast<int>(m_lists.names.size()) - 1);
}

void NewVMWizard::browseExistingDiskClick()
{
    Interaction::FileRequest request;
    request.title = QStringLiteral("Specify Disk Image");
    request.filter =
        Interaction::pipeFilter(QStringLiteral("Disk Images|*.qcow;*.qcow2;*.vmdk;*.dsk;*.raw"));
    request.defaultSuffix = QStringLiteral("dsk");
    request.folder = selectedStoreFolder();
    const std::optional<QString> chosen = Interaction::current().openFileName(this, request);
    if (chosen && !chosen->isEmpty())
        m_existingPath->setText(StoredPathFor(*chosen, request.folder));
}

std::optional<QString> NewVMWizard::chooseImage()
{
    Interaction::FileRequest request;
    request.title = QStringLiteral("Specify Image");
    request.filter = Interaction::pipeFilter(QStringLiteral("All File|*.*"));
    std::optional<QString> chosen = Interaction::current().openFileName(this, request);
    if (chosen && chosen->isEmpty())
        return std::nullopt;
    return chosen;
}

void NewVMWizard::browseMediumClick()
{
    Interaction::FileRequest request;
    request.title = QStringLiteral("Specify Installation Medium");
    request.filter =
        Interaction::pipeFilter(QStringLiteral("CD/DVD Images|*.iso;*.img|All Files|*.*"));
    const std::optional<QString> chosen = Interaction::current().openFileName(this, request);
    if (chosen && !chosen->isEmpty())
        m_medium->setText(*chosen);
}

void NewVMWizard::browseKernelClick()
{
    if (const std::optional<QString> chosen = chooseImage())
        m_kernel->setText(*chosen);
}

void NewVMWizard::browseInitrdClick()
{
    if (const std::optional<QString> chosen = chooseImage())
        m_initrd->setText(*chosen);
}

NewVM::Plan NewVMWizard::plan() const
{
    NewVM::Plan plan;
    plan.name = m_name->text();
    const int store = m_stores->currentIndex();
    if (store >= 0) {
        plan.storeName = m_lists.names.value(store);
        plan.storeFolder = ExpandedStoreFolder(m_lists.folders.value(store));
        plan.storeId = m_lists.ids.value(store);
    }
    plan.arc = selectedArc();
    plan.platform = m_defaults;
    plan.operatingSystem = m_os->currentText();
    plan.versionDescription =
        m_versions->currentIndex() >= 0 ? m_versions->currentText() : QString();
    plan.versionId = m_versions->currentData().toString();
    plan.ram = m_memory->value();
    plan.disk = m_createDisk->isChecked()     ? NewVM::DiskChoice::CreateNew
                : m_existingDisk->isChecked() ? NewVM::DiskChoice::Existing
                                              : NewVM::DiskChoice::None;
    plan.diskType = m_diskType->currentIndex();
    plan.diskSize = m_diskSize->value();
    plan.compress = m_compress->isChecked();
    plan.encrypt = m_encrypt->isChecked();
    plan.existingDisk = m_existingPath->text();
    plan.existingEncrypted = m_existingEncrypted->isChecked();
    plan.kernel = m_kernel->text();
    plan.initrd = m_initrd->text();
    plan.output = static_cast<NewVM::Output>(std::max(m_output->currentIndex(), 0));
    plan.vncNumber = m_vncNumber->value();
    plan.hardware = m_hardware;
    plan.installMedium = m_medium->text();
    return plan;
}

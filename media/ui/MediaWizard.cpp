#include "media/ui/MediaWizard.h"

#include "media/DeviceIdentity.h"
#include "media/RawCopy.h"
#include "media/ui/WaitWindow.h"
#include "model/ProgramFolder.h"
#include "platform/HostDrives.h"
#include "platform/Shell.h"
#include "platform/ui/Interaction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const QString NoDestination = QStringLiteral("None");
const QString CopyFailed = QStringLiteral("Disk Image was NOT created successfully");

QString mediaFolder()
{
    return ProgramFolder::file(QStringLiteral("\\Media"));
}

} // namespace

MediaWizard::MediaWizard(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Import Media Wizard"));
    setModal(true);
    buildPages();
    m_wait = new WaitWindow(this);
    reset();
}

MediaWizard::~MediaWizard() = default;

QWidget* MediaWizard::addPage(const QString& name, const QString& intro, PageButtons& buttons)
{
    auto* page = new QWidget(m_pages);
    page->setObjectName(name);
    auto* layout = new QVBoxLayout(page);
    auto* introLabel = new QLabel(intro, page);
    introLabel->setObjectName(name + QLatin1String("Intro"));
    introLabel->setWordWrap(true);
    layout->addWidget(introLabel);

    auto* row = new QWidget(page);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->addStretch();
    buttons.back = new QPushButton(QStringLiteral("< Back"), row);
    buttons.next = new QPushButton(QStringLiteral("Next >"), row);
    buttons.cancel = new QPushButton(QStringLiteral("Cancel"), row);
    buttons.back->setObjectName(name + QLatin1String("Back"));
    buttons.next->setObjectName(name + QLatin1String("Next"));
    buttons.cancel->setObjectName(name + QLatin1String("Cancel"));
    for (QPushButton* button : {buttons.back, buttons.next, buttons.cancel}) {
        button->setAutoDefault(false);
        rowLayout->addWidget(button);
    }
    connect(buttons.cancel, &QPushButton::clicked, this, &MediaWizard::reject);
    // The page's own controls go between the introduction and the buttons.
    layout->addStretch();
    layout->addWidget(row);
    m_pages->addWidget(page);
    return page;
}

namespace {

// Inserts a page's content above its stretch and button row.
void addContent(QWidget* page, QWidget* content)
{
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->insertWidget(layout->count() - 2, content);
}

} // namespace

void MediaWizard::buildPages()
{
    auto* layout = new QVBoxLayout(this);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("Pages"));
    layout->addWidget(m_pages);

    // "P1": what to import.
    m_p1 = addPage(QStringLiteral("P1"),
                   QStringLiteral("Please specify the type of media you wish to import."),
                   m_p1Buttons);
    auto* imageType = new QGroupBox(QStringLiteral("Image Type"), m_p1);
    auto* imageTypeLayout = new QVBoxLayout(imageType);
    m_cdImage = new QCheckBox(QStringLiteral("CD-ROM/DVD Image"), imageType);
    m_cdImage->setObjectName(QStringLiteral("CDImage"));
    m_floppyImage = new QCheckBox(QStringLiteral("Floppy Disk Image"), imageType);
    m_floppyImage->setObjectName(QStringLiteral("FloppyImage"));
    imageTypeLayout->addWidget(m_cdImage);
    imageTypeLayout->addWidget(m_floppyImage);
    addContent(m_p1, imageType);
    connect(m_cdImage, &QCheckBox::clicked, this, [this] { imageTypeClicked(m_cdImage); });
    connect(m_floppyImage, &QCheckBox::clicked, this, [this] { imageTypeClicked(m_floppyImage); });
    connect(m_p1Buttons.next, &QPushButton::clicked, this, &MediaWizard::P1NextClick);

    // "P2": floppy from a disk or blank.
    m_p2 =
        addPage(QStringLiteral("P2"),
                QStringLiteral("Please specify the type of floppy disk media you wish to import."),
                m_p2Buttons);
    auto* addHow = new QGroupBox(QStringLiteral("Add How:"), m_p2);
    auto* addHowLayout = new QVBoxLayout(addHow);
    m_fromDisk = new QRadioButton(QStringLiteral("Create From Floppy Disk"), addHow);
    m_fromDisk->setObjectName(QStringLiteral("AddHow0"));
    m_blankFloppy = new QRadioButton(QStringLiteral("Create Blank Floppy Disk Image"), addHow);
    m_blankFloppy->setObjectName(QStringLiteral("AddHow1"));
    addHowLayout->addWidget(m_fromDisk);
    addHowLayout->addWidget(m_blankFloppy);
    m_addHow = new QButtonGroup(this);
    m_addHow->addButton(m_fromDisk, 0);
    m_addHow->addButton(m_blankFloppy, 1);
    addContent(m_p2, addHow);
    connect(m_addHow, &QButtonGroup::buttonToggled, this,
            [this] { m_p2Buttons.next->setEnabled(m_addHow->checkedButton() != nullptr); });
    connect(m_p2Buttons.back, &QPushButton::clicked, this, [this] { showPage(m_p1); });
    connect(m_p2Buttons.next, &QPushButton::clicked, this, &MediaWizard::P2NextClick);

    // "MI": source drive and destination file.
    m_mi = addPage(QStringLiteral("MI"),
                   QStringLiteral("The wizard will now assist you on creating your media image."),
                   m_miButtons);
    auto* toCreate = new QGroupBox(QStringLiteral("Image To Create"), m_mi);
    auto* toCreateLayout = new QVBoxLayout(toCreate);
    toCreateLayout->addWidget(new QLabel(QStringLiteral("Select Source Drive:"), toCreate));
    m_sourceDrive = new QComboBox(toCreate);
    m_sourceDrive->setObjectName(QStringLiteral("SourceDrive"));
    toCreateLayout->addWidget(m_sourceDrive);
    auto* selectDestination = new QPushButton(QStringLiteral("Select Destination"), toCreate);
    selectDestination->setObjectName(QStringLiteral("SelectDestination"));
    selectDestination->setAutoDefault(false);
    toCreateLayout->addWidget(selectDestination);
    m_destination = new QLabel(toCreate);
    m_destination->setObjectName(QStringLiteral("Destination"));
    toCreateLayout->addWidget(m_destination);
    addContent(m_mi, toCreate);
    connect(m_sourceDrive, &QComboBox::currentIndexChanged, this, &MediaWizard::updateMINext);
    connect(selectDestination, &QPushButton::clicked, this, &MediaWizard::SelectDestinationClick);
    connect(m_miButtons.back, &QPushButton::clicked, this, &MediaWizard::MIBackClick);
    connect(m_miButtons.next, &QPushButton::clicked, this, &MediaWizard::MINextClick);

    // "MI2": the copy.
    m_mi2 = addPage(QStringLiteral("MI2"),
                    QStringLiteral("Please wait while the media image is created.  Depending on "
                                   "the size of the media this can take a while."),
                    m_mi2Buttons);
    auto* copy = new QWidget(m_mi2);
    auto* copyLayout = new QVBoxLayout(copy);
    copyLayout->setContentsMargins(0, 0, 0, 0);
    copyLayout->addWidget(new QLabel(QStringLiteral("Image To Create:"), copy));
    m_imageToCreate = new QLabel(copy);
    m_imageToCreate->setObjectName(QStringLiteral("ImageToCreate"));
    copyLayout->addWidget(m_imageToCreate);
    m_progress = new QProgressBar(copy);
    m_progress->setObjectName(QStringLiteral("Progress"));
    m_progress->setRange(0, 100);
    copyLayout->addWidget(m_progress);
    m_created = new QLabel(QStringLiteral("Image Created Successfully!"), copy);
    m_created->setObjectName(QStringLiteral("ImageCreated"));
    copyLayout->addWidget(m_created);
    addContent(m_mi2, copy);
    connect(m_mi2Buttons.next, &QPushButton::clicked, this, [this] {
        m_beforeFinish = m_mi2;
        showPage(m_finish);
    });

    // "Finish".
    m_finish = addPage(QStringLiteral("Finish"), QStringLiteral("The wizard is now complete."),
                       m_finishButtons);
    auto* done = new QWidget(m_finish);
    auto* doneLayout = new QVBoxLayout(done);
    doneLayout->setContentsMargins(0, 0, 0, 0);
    doneLayout->addWidget(
        new QLabel(QStringLiteral("Your media was imported successfully."), done));
    doneLayout->addWidget(new QLabel(QStringLiteral("Save Item to Media Store."), done));
    auto* finish = new QPushButton(QStringLiteral("Finish"), done);
    finish->setObjectName(QStringLiteral("FinishButton"));
    finish->setAutoDefault(false);
    doneLayout->addWidget(finish);
    addContent(m_finish, done);
    connect(finish, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_finishButtons.back, &QPushButton::clicked, this, &MediaWizard::FinishBackClick);
}

void MediaWizard::reset()
{
    m_importedImage.clear();
    m_cdImage->setChecked(false);
    m_floppyImage->setChecked(false);
    m_addHow->setExclusive(false);
    m_fromDisk->setChecked(false);
    m_blankFloppy->setChecked(false);
    m_addHow->setExclusive(true);
    m_destination->setText(NoDestination);
    m_imageToCreate->clear();
    m_progress->setValue(0);
    m_created->hide();
    for (PageButtons* buttons :
         {&m_p1Buttons, &m_p2Buttons, &m_miButtons, &m_mi2Buttons, &m_finishButtons}) {
        buttons->back->setEnabled(true);
        buttons->next->setEnabled(false);
        buttons->cancel->setEnabled(true);
    }
    m_p1Buttons.back->setEnabled(false);
    m_mi2Buttons.back->setEnabled(false);
    m_mi2Buttons.cancel->setEnabled(false);
    m_beforeFinish = m_mi2;
    m_wait->hide();
    showPage(m_p1);
}

void MediaWizard::showPage(QWidget* page)
{
    m_pages->setCurrentWidget(page);
}

void MediaWizard::OpenMediaWizard()
{
    reset();
    Interaction::current().execDialog(*this);
}

void MediaWizard::reject()
{
    const auto* page = m_pages->currentWidget();
    for (const PageButtons* buttons :
         {&m_p1Buttons, &m_p2Buttons, &m_miButtons, &m_mi2Buttons, &m_finishButtons})
        if (buttons->cancel->parentWidget()->parentWidget() == page &&
            !buttons->cancel->isEnabled())
            return;
    if (Interaction::confirm(this, QStringLiteral("Are you sure you wish to cancel ?")))
        QDialog::reject();
}

void MediaWizard::imageTypeClicked(QCheckBox* box)
{
    // At most one of the two is ticked.
    if (box->isChecked())
        (box == m_cdImage ? m_floppyImage : m_cdImage)->setChecked(false);
    m_p1Buttons.next->setEnabled(m_cdImage->isChecked() || m_floppyImage->isChecked());
}

void MediaWizard::P1NextClick()
{
    const bool cd = m_cdImage->isChecked();
    m_addHow->setExclusive(false);
    m_fromDisk->setChecked(false);
    m_blankFloppy->setChecked(false);
    m_addHow->setExclusive(true);
    m_p2Buttons.next->setEnabled(false);
    m_fromDisk->setText(cd ? QStringLiteral("Create From CD-ROM/DVD Disk")
                           : QStringLiteral("Create From Floppy Disk"));
    m_blankFloppy->setVisible(!cd);

    m_sourceDrive->clear();
    const QStringList drives =
        HostDrives::ListHostDrives(cd ? HostDrives::DriveType::CD : HostDrives::DriveType::Floppy);
    // Each letter keeps the device it named when listed, to be checked again before the copy.
    const QStringList identities = DeviceIdentity::IdentitiesOf(drives);
    for (qsizetype i = 0; i < drives.size(); ++i)
        m_sourceDrive->addItem(drives.at(i), identities.at(i));
    m_sourceDrive->setCurrentIndex(-1);
    updateMINext();

    if (cd) {
        m_saveSetup = {QStringLiteral("ISO Image Files|*.iso"), QStringLiteral("iso")};
        showPage(m_mi);
    } else {
        m_saveSetup = {QStringLiteral("Disk Image Files|*.img"), QStringLiteral("img")};
        showPage(m_p2);
    }
}

std::optional<QString> MediaWizard::askSaveFile(const SaveSetup& setup)
{
    Interaction::FileRequest request;
    request.title = QStringLiteral("Save Image As");
    request.folder = mediaFolder();
    request.filter = Interaction::pipeFilter(setup.filter);
    request.defaultSuffix = setup.defaultSuffix;
    request.confirmOverwrite = false;
    return Interaction::current().saveFileName(this, request);
}

void MediaWizard::P2NextClick()
{
    if (m_fromDisk->isChecked()) {
        showPage(m_mi);
        return;
    }
    if (!m_blankFloppy->isChecked())
        return;
    const auto file =
        askSaveFile({QStringLiteral("Floppy Disk Image Files|*.img"), QStringLiteral("img")});
    if (!file)
        return;
    m_wait->showMessage(QStringLiteral("Creating Image - Please Wait"));
    const bool created = CreateBlankFloppy(*file);
    m_wait->hide();
    if (!created) {
        m_importedImage.clear();
        Interaction::error(this, CopyFailed);
        return;
    }
    m_importedImage = *file;
    m_beforeFinish = m_p2;
    showPage(m_finish);
}

void MediaWizard::SelectDestinationClick()
{
    if (const auto file = askSaveFile(m_saveSetup))
        m_destination->setText(*file);
    updateMINext();
}

void MediaWizard::updateMINext()
{
    m_miButtons.next->setEnabled(m_sourceDrive->currentIndex() >= 0 &&
                                 m_destination->text() != NoDestination);
}

void MediaWizard::MIBackClick()
{
    showPage(m_floppyImage->isChecked() ? m_p2 : m_p1);
}

void MediaWizard::MINextClick()
{
    const QString drive = m_sourceDrive->currentText();
    const QString destination = m_destination->text();
    const QString moved =
        DeviceIdentity::MovedSinceListed(drive, {drive}, {m_sourceDrive->currentData().toString()});
    if (!moved.isEmpty()) {
        Interaction::error(this, moved);
        return;
    }
    m_mi2Buttons.back->setEnabled(false);
    m_mi2Buttons.next->setEnabled(false);
    m_mi2Buttons.cancel->setEnabled(false);
    showPage(m_mi2);
    m_imageToCreate->setText(destination);
    m_progress->setValue(0);
    m_created->hide();
    repaint();

    CopyEventPacer events;
    const bool copied = CopyRawDrive(drive, destination, [this, &events](int percent) {
        m_progress->setValue(percent);
        events.afterChunk();
    });
    if (!copied) {
        Interaction::error(this, CopyFailed);
        showPage(m_mi);
        return;
    }
    m_created->show();
    m_importedImage = destination;
    m_mi2Buttons.next->setEnabled(true);
    m_mi2Buttons.cancel->setEnabled(true);
}

void MediaWizard::FinishBackClick()
{
    showPage(m_beforeFinish);
}

bool BrowseMediaFolder()
{
    return Shell::open(mediaFolder());
}

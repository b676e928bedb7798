#pragma once

#include <QDialog>

#include <optional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class WaitWindow;

// The "Import Media Wizard": turns a CD/DVD or floppy into an image file, or makes a blank floppy
// image. Reused: every OpenMediaWizard resets it.
class MediaWizard final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaWizard)

public:
    explicit MediaWizard(QWidget* parent = nullptr);
    ~MediaWizard() override;

    // Resets and runs the wizard modally; afterwards ImportedImage() holds the image made, or is
    // empty.
    void OpenMediaWizard();
    QString ImportedImage() const { return m_importedImage; }

    // Cancel, Escape and the close button all ask first; nothing closes the wizard while a page
    // has its "Cancel" disabled (during a copy).
    void reject() override;

private:
    // The bottom buttons of one page.
    struct PageButtons
    {
        QPushButton* back = nullptr;
        QPushButton* next = nullptr;
        QPushButton* cancel = nullptr;
    };
    // What "Select Destination" and the blank floppy ask the save dialog for.
    struct SaveSetup
    {
        QString filter;
        QString defaultSuffix;
    };

    QWidget* addPage(const QString& name, const QString& intro, PageButtons& buttons);
    void buildPages();
    void reset();
    void showPage(QWidget* page);
    std::optional<QString> askSaveFile(const SaveSetup& setup);

    void imageTypeClicked(QCheckBox* box);
    void P1NextClick();
    void P2NextClick();
    void SelectDestinationClick();
    void MINextClick();
    void MIBackClick();
    void FinishBackClick();
    void updateMINext();

    QString m_importedImage;

    QStackedWidget* m_pages = nullptr;
    QWidget* m_p1 = nullptr;
    QWidget* m_p2 = nullptr;
    QWidget* m_mi = nullptr;
    QWidget* m_mi2 = nullptr;
    QWidget* m_finish = nullptr;
    PageButtons m_p1Buttons;
    PageButtons m_p2Buttons;
    PageButtons m_miButtons;
    PageButtons m_mi2Buttons;
    PageButtons m_finishButtons;

    QCheckBox* m_cdImage = nullptr;
    QCheckBox* m_floppyImage = nullptr;
    QButtonGroup* m_addHow = nullptr;
    QRadioButton* m_fromDisk = nullptr;
    QRadioButton* m_blankFloppy = nullptr;
    QComboBox* m_sourceDrive = nullptr;
    QLabel* m_destination = nullptr;
    QLabel* m_imageToCreate = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_created = nullptr;
    WaitWindow* m_wait = nullptr;

    SaveSetup m_saveSetup;
    QWidget* m_beforeFinish = nullptr; // where "< Back" on "Finish" returns to
};

// Tools > "Browse Default Media Image Folder": opens the Media folder in the desktop's file
// manager; false when no file manager could be started.
bool BrowseMediaFolder();

#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The "Select Path" window of the drive rows: a label naming the drive, the value (freely
// editable), ".." and "Clear", and the extra buttons and boxes of the row being edited. The
// buttons that need more than the window itself ask for it through signals; their handlers put
// the result into the text box.
class SelectPathDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SelectPathDialog)

public:
    enum class Mode
    {
        Disk, // hard disks: store-relative images, physical disks, shared folders
        Media // floppies and CD-ROM: media images and host drive letters
    };

    explicit SelectPathDialog(QWidget* parent = nullptr);

    // Prepares an opening for a hard disk: the disk-mode buttons and both boxes shown.
    void startDisk(const QString& label, const QString& value, bool scsi, bool encrypted);
    // Prepares an opening for a floppy or the CD: the media-mode buttons shown; filter in the
    // pipe form.
    void startMedia(const QString& label, const QString& value, const QString& filter);
    // Hides the extra buttons and boxes again once the window has closed.
    void hideExtras();

    Mode mode() const { return m_mode; }
    QString label() const;
    QString mediaFilter() const { return m_filter; }
    QString text() const;
    void setText(const QString& text);
    bool scsi() const;
    bool encrypted() const;
    void setEncrypted(bool on);

    QLineEdit* pathBox() const { return m_path; }
    QPushButton* browseButton() const { return m_browse; }
    QPushButton* clearButton() const { return m_clear; }
    QPushButton* newDiskButton() const { return m_newDisk; }
    QPushButton* physicalDiskButton() const { return m_physicalDisk; }
    QPushButton* sharedFolderButton() const { return m_sharedFolder; }
    QCheckBox* scsiBox() const { return m_scsi; }
    QCheckBox* encryptedBox() const { return m_encrypted; }
    QPushButton* physicalDriveButton() const { return m_physicalDrive; }
    QPushButton* importButton() const { return m_import; }

    void ClearClick();

signals:
    void browseRequested();
    void newDiskRequested();
    void physicalDiskRequested();
    void sharedFolderRequested();
    void physicalDriveRequested();
    void importRequested();

private:
    QList<QWidget*> extras() const;

    Mode m_mode = Mode::Disk;
    QString m_filter;
    QLabel* m_label = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_clear = nullptr;
    QPushButton* m_newDisk = nullptr;
    QPushButton* m_physicalDisk = nullptr;
    QPushButton* m_sharedFolder = nullptr;
    QCheckBox* m_scsi = nullptr;
    QCheckBox* m_encrypted = nullptr;
    QPushButton* m_physicalDrive = nullptr;
    QPushButton* m_import = nullptr;
};

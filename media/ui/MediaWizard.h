#pragma once

#include <QDialog>

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

private:
    QString m_importedImage;
};

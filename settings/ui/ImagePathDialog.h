#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The kernel and initrd editor: a path typed or picked with "..", starting in the program's
// "qemu" folder.
class ImagePathDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImagePathDialog)

public:
    explicit ImagePathDialog(QWidget* parent = nullptr);

    // Prepares an opening: the label of the use and the stored path; no file is chosen yet.
    void start(const QString& label, const QString& path);
    QString text() const;
    // The file last picked with ".." since start(); empty when none.
    QString chosenFile() const { return m_chosenFile; }
    QString label() const;

    QLineEdit* pathBox() const { return m_path; }
    QPushButton* browseButton() const { return m_browse; }
    void BrowseClick();

private:
    QLabel* m_label = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_browse = nullptr;
    QString m_chosenFile;
};

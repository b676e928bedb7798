#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// The window "Update": tells the user a newer release exists and offers its download page.
// "Get Update" accepts, "Cancel" rejects.
class UpdateDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateDialog)

public:
    explicit UpdateDialog(QWidget* parent = nullptr);

    // Presets the version line and the box "Do not check for updates in future".
    void start(const QString& versionLine, bool doNotCheck);
    bool doNotCheck() const;
    QString versionLine() const;

    QLabel* versionLabel() const { return m_versionLine; }
    QCheckBox* doNotCheckBox() const { return m_doNotCheck; }
    QPushButton* getUpdateButton() const { return m_getUpdate; }
    QPushButton* cancelButton() const { return m_cancel; }

private:
    QLabel* m_versionLine = nullptr;
    QCheckBox* m_doNotCheck = nullptr;
    QPushButton* m_getUpdate = nullptr;
    QPushButton* m_cancel = nullptr;
};

#pragma once

#include "library/OsProfiles.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

// The editor of one operating-system profile, used both to add a profile and to change one. It
// shows and returns values only; the "Operating Systems" window writes the table.
class ProfileEditorDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileEditorDialog)

public:
    explicit ProfileEditorDialog(QWidget* parent = nullptr);

    // Shows a stored profile; a size that is not a number shows the new-profile size.
    void preset(const OsProfile& profile);
    // The three boxes, the sizes as decimal text.
    OsProfile profile() const;

    QLineEdit* nameBox() const { return m_name; }
    QSpinBox* ramBox() const { return m_ram; }
    QSpinBox* diskBox() const { return m_disk; }
    QPushButton* createButton() const { return m_create; }
    QPushButton* cancelButton() const { return m_cancel; }

    void accept() override;

private:
    QLineEdit* m_name = nullptr;
    QSpinBox* m_ram = nullptr;
    QSpinBox* m_disk = nullptr;
    QPushButton* m_create = nullptr;
    QPushButton* m_cancel = nullptr;
};

#pragma once

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace AdvancedEditing {
struct DataEntryUse;
}

// One line of text under a frame and a label set per use (window title, BIOS file, kernel
// command line, additional parameters), with the buttons "VM", ".." and "Clear" shown only by
// the uses that need them.
class DataEntryDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DataEntryDialog)

public:
    explicit DataEntryDialog(QWidget* parent = nullptr);

    // Prepares an opening for the use with the preset text, showing the use's buttons.
    void start(const AdvancedEditing::DataEntryUse& use, const QString& text);
    // Called when the dialog has closed, so that the next use starts without optional buttons.
    void hideOptionalButtons();
    QString text() const;
    QString frame() const;
    QString label() const;

    QLineEdit* textBox() const { return m_text; }
    QPushButton* vmButton() const { return m_vm; }
    QPushButton* browseButton() const { return m_browse; }
    QPushButton* clearButton() const { return m_clear; }

    void VMClick();
    void BrowseClick();
    void ClearClick();

private:
    QGroupBox* m_frame = nullptr;
    QLabel* m_label = nullptr;
    QLineEdit* m_text = nullptr;
    QPushButton* m_vm = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_clear = nullptr;
};

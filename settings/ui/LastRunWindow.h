#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// The "Last Run" window: the command line of the last launch, read-only, with a button that
// copies it to the clipboard.
class LastRunWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LastRunWindow)

public:
    explicit LastRunWindow(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    // Lines under the command line, not copied with it.
    void setNotes(const QStringList& notes);
    QString notes() const;

    QPlainTextEdit* textView() const { return m_text; }
    QPushButton* copyButton() const { return m_copy; }
    void CopyToClipboardClick();

private:
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_notes = nullptr;
    QPushButton* m_copy = nullptr;
};

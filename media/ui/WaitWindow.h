#pragma once

#include <QDialog>

class QLabel;

// The small "Please Wait" window shown while the user interface is blocked by a short job.
class WaitWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WaitWindow)

public:
    explicit WaitWindow(QWidget* parent = nullptr);

    // Shows the window with message, or "One Moment Please..." when message is empty, and paints
    // it at once: the caller is about to block the event loop.
    void showMessage(const QString& message = {});
    QString message() const;

private:
    QLabel* m_message = nullptr;
};

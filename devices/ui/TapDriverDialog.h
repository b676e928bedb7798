#pragma once

#include <QDialog>

class QLabel;

// The "TAP-Win32 Driver" dialog: where to get the TAP driver on a host that needs a download.
class TapDriverDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TapDriverDialog)

public:
    explicit TapDriverDialog(QWidget* parent = nullptr);

    static QString downloadPage();
    QLabel* text() const { return m_text; }
    QLabel* link() const { return m_link; }

private:
    QLabel* m_text = nullptr;
    QLabel* m_link = nullptr;
};

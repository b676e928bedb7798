#pragma once

#include "launch/DisplayConnection.h"

#include <QImage>
#include <QPoint>
#include <QSet>
#include <QWidget>

// A display panel of the main window's console: shows a VM's screen at 1:1 through its private
// VNC socket, takes keyboard and mouse for the guest once clicked, and gives them back on
// Ctrl-Alt. While it holds them, no shortcut of the program fires. Without a connection it is an
// empty black panel of the default size.
class DisplayPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisplayPanel)

public:
    static constexpr QSize DefaultSize{632, 469};

    explicit DisplayPanel(QWidget* parent = nullptr);
    ~DisplayPanel() override;

    // Shows the display at the socket, trying for a few seconds while QEMU creates it.
    void connectDisplay(const QString& socketPath);
    // Drops the connection and empties the panel.
    void disconnectDisplay();
    // Absolute pointer positions for a USB tablet; relative motion for a mouse.
    void setAbsolutePointer(bool absolute) { m_absolute = absolute; }

    DisplayConnection::State state() const { return m_connection.state(); }
    bool isGrabbed() const { return m_grabbed; }
    // A copy of the guest's screen; null when the panel is empty.
    QImage image() const;
    // The number of screen updates the last paint showed.
    quint64 framesShown() const { return m_framesShown; }

signals:
    // A message for the status bar: the display could not be reached or broke off.
    void statusMessage(const QString& text);
    // The guest changed its resolution and the panel its size.
    void displayResized(const QSize& size);
    void grabChanged(bool grabbed);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void grabInput();
    void releaseInput();
    void sendKey(QKeyEvent* event, bool down);
    void sendPointer(const QPoint& at);
    void showSize(const QSize& size);
    void connectionStateChanged(DisplayConnection::State state);

    DisplayConnection m_connection;
    bool m_grabbed = false;
    bool m_absolute = false;
    bool m_ctrlDown = false;
    bool m_altDown = false;
    int m_buttons = 0;
    // Where the guest's mouse was sent last when it moves relatively: QEMU takes the difference.
    QPoint m_relative;
    // Keys sent down and not yet up, as keysym and scancode; let go when the grab ends.
    QSet<QPair<quint32, quint32>> m_pressed;
    quint64 m_framesShown = 0;
};

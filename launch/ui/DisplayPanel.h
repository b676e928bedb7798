#pragma once

#include "launch/DisplayConnection.h"
#include "launch/KeyCodes.h"

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QSet>
#include <QTimer>
#include <QWidget>

// A display panel of the main window's console: shows a VM's screen through its private VNC
// socket, fitted to the room it has or at its own size, takes keyboard and mouse for the guest
// once clicked, and gives them back on Ctrl-Alt. While it holds them, no shortcut of the program
// fires. Without a connection it is an empty black panel.
class DisplayPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisplayPanel)

public:
    static constexpr QSize DefaultSize{632, 469};
    // How long the room must stay the same before the guest is asked to take its size: a window
    // dragged larger passes through hundreds of sizes.
    static constexpr int ResizeSettleMs = 300;

    enum class Scaling
    {
        Fit,   // the whole picture in the room the panel has, its aspect kept
        Actual // one guest pixel to one screen pixel, with scroll bars where it does not fit
    };

    explicit DisplayPanel(QWidget* parent = nullptr);
    ~DisplayPanel() override;

    // Shows the display at the socket; the connection keeps trying while QEMU lives.
    void connectDisplay(const QString& socketPath);
    // Drops the connection and empties the panel.
    void disconnectDisplay();
    // Absolute pointer positions for a USB tablet; relative motion for a mouse.
    void setAbsolutePointer(bool absolute) { m_absolute = absolute; }
    void setScaling(Scaling scaling);
    Scaling scaling() const { return m_scaling; }
    // The room the panel has: a fitted panel takes all of it, one at actual size only its
    // picture's.
    void setAvailableSize(const QSize& size);
    // Whether the guest is asked for the resolution of the room, once it has settled.
    void setResizeGuest(bool on);
    // Whether host and guest share the clipboard; taken at the next connection.
    void setClipboardSharing(bool on);
    // Types the text into the guest as key presses, at the pace QEMU takes them.
    void typeText(const QString& text);

    DisplayConnection::State state() const { return m_connection.state(); }
    bool isGrabbed() const { return m_grabbed; }
    // A copy of the guest's screen at its own resolution; null when the panel is empty.
    QImage image() const;
    // Where the guest's picture lies in the panel; empty without one.
    QRectF pictureRect() const;
    // The number of screen updates the last paint showed.
    quint64 framesShown() const { return m_framesShown; }

signals:
    // A message for the status bar: the display could not be reached or broke off.
    void statusMessage(const QString& text);
    // The panel changed its size.
    void displayResized(const QSize& size);
    void grabChanged(bool grabbed);
    void stateChanged(DisplayConnection::State state);

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
    void sendPointer(const QPointF& at);
    void updateSize();
    void showSize(const QSize& size);
    void frameResized(const QSize& size);
    void connectionStateChanged(DisplayConnection::State state);
    QRectF pictureRect(const QSize& frame) const;
    void requestGuestSize();
    void typeNext();
    void offerClipboard();

    DisplayConnection m_connection;
    Scaling m_scaling = Scaling::Fit;
    QSize m_available = DefaultSize;
    QSize m_frameSize; // the guest's resolution while connected
    bool m_grabbed = false;
    bool m_absolute = false;
    bool m_ctrlDown = false;
    bool m_altDown = false;
    int m_buttons = 0;
    // Where the guest's mouse was sent last when it moves relatively: QEMU takes the difference,
    // so it is kept across grabs and only starts afresh with each connection.
    QPoint m_relative;
    // What a scaled motion left over, in guest pixels, so that slow moves add up.
    QPointF m_relativeRest;
    // Keys sent down and not yet up, as keysym and scancode; let go when the grab ends.
    QSet<QPair<quint32, quint32>> m_pressed;
    quint64 m_framesShown = 0;

    bool m_resizeGuest = false;
    QTimer m_resizeTimer;
    QSize m_requested; // the resolution last asked of this connection's guest

    bool m_sharing = false;
    QString m_fromGuest; // the last text the guest's clipboard gave, not to be offered back

    QList<KeyCodes::Keystroke> m_typing;
    QTimer m_typeTimer;
};

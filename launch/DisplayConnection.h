#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

// One VNC connection to a VM's display over a Unix socket. The protocol (libvncclient) runs on a
// thread of its own, so a slow, stalled or hostile server never holds up the window. The guest's
// screen is kept in a frame the window reads under a lock; updates, size changes and the end of
// the connection arrive as signals in the owner's thread. Input is queued and sent by the protocol
// thread.
class DisplayConnection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DisplayConnection)

public:
    enum class State
    {
        Idle,
        Connecting,
        Connected,
        Closed,
        Failed
    };
    // Larger screens are refused: no guest has one, and a bad server would have the viewer
    // allocate gigabytes for it.
    static constexpr int MaxSide = 16384;

    explicit DisplayConnection(QObject* parent = nullptr);
    ~DisplayConnection() override;

    // Drops any connection in place and connects to the socket. Until close() it keeps trying while
    // the socket is missing or refuses (QEMU creates it late when it loads a snapshot) and
    // reconnects after a break, every tenth of a second at first and backing off to once a second.
    // The state is Connecting until the socket first answers; after a break it stays Closed or
    // Failed while the retries go on. Each connection made is Connected, then a frameResized()
    // with its size.
    void open(const QString& socketPath);
    // Drops the connection and the frame; no signal follows.
    void close();

    State state() const { return m_state; }
    QSize frameSize() const;
    // Whether the server takes raw scancodes (QEMU's extended key events).
    bool extendedKeys() const;
    // Runs use with the frame while the protocol thread cannot change it: 0xffRRGGBB pixels, one
    // row after the other, and the number of screen updates it holds. Not called when there is no
    // frame, which is whenever the state is not Connected.
    void readFrame(
        const std::function<void(const quint32* pixels, QSize size, quint64 updates)>& use) const;

    // A key by keysym and scancode (0 when unknown); the scancode goes when the server takes it.
    void sendKey(quint32 keysym, quint32 scancode, bool down);
    // The pointer at x, y (0 to 65535) with the buttons held: bit 0 left, 1 middle, 2 right, 3 and
    // 4 the wheel.
    void sendPointer(int x, int y, int buttons);

    // Whether the host's and the guest's clipboards are shared (the VNC extended clipboard, UTF-8
    // text); taken at the next connection, so set it before open(). Off, it stops at once.
    void setClipboardSharing(bool on);
    // The host's clipboard now holds this text: the guest is told, and gets it when it asks. The
    // text is offered again at each reconnection until the guest's clipboard changes; the text
    // last received from the guest is not sent back.
    void offerClipboardText(const QString& text);
    // Asks the server to give the guest this resolution (RFB SetDesktopSize). A guest that follows
    // shows in a frameResized(); the others keep their size.
    void requestDesktopSize(const QSize& size);

    // The protocol thread's side of one connection.
    struct Session;

signals:
    void stateChanged(DisplayConnection::State state);
    void frameResized(const QSize& size);
    void frameChanged(const QList<QRect>& rects);
    // Why the connection could not be made or broke off, as a sentence for the user; once for each
    // break, however often the retries that follow fail (a connection that breaks within a second
    // counts as one of them), and once while Connecting when the socket has not answered for five
    // seconds.
    void failed(const QString& reason);
    // The guest's clipboard changed to this text (with sharing on).
    void clipboardTextReceived(const QString& text);

private:
    // Called in the owner's thread with what the protocol thread posted; stale sessions' posts are
    // dropped. An end is a change of state with the failure to tell, if there is one.
    void sessionEnded(quint64 id, State state, const QString& reason);
    void sessionConnected(quint64 id, QSize size);
    void sessionResized(quint64 id, QSize size);
    void sessionUpdated(quint64 id);
    void sessionClipboard(quint64 id, const QString& text);
    void setState(State state);

    std::unique_ptr<Session> m_session;
    quint64 m_nextId = 1;
    State m_state = State::Idle;
    bool m_clipboardSharing = false;
    QString m_guestText; // the guest's clipboard as last received
};

#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalSocket;
class QTcpSocket;
struct telnet_t;
union telnet_event_t;

// The connection to a QEMU monitor: telnet on 127.0.0.1 at a port, or the plain stream of a Unix
// socket in the user's private folder (today's QEMU). The telnet protocol (option negotiation,
// the terminal-type answer "vt100", IAC escaping) is handled here; what remains is the monitor's
// text, handed on through dataReceived(). Connecting is asynchronous: connected() or
// errorOccurred() follows.
class MonitorClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MonitorClient)

public:
    explicit MonitorClient(QObject* parent = nullptr);
    ~MonitorClient() override;

    // Drops any connection in place and starts connecting to 127.0.0.1 at port.
    void connectToPort(int port);
    // Drops any connection in place and starts connecting to the monitor socket at path.
    void connectToSocket(const QString& path);
    int port() const { return m_port; }
    bool isConnected() const;

    // Closes the connection after what was sent has gone out; disconnected() is emitted before it
    // returns when a connection was up. False with the reason when closing failed.
    // After "quit", pass peerCloseWaitMs to let QEMU close its end first: closing ours while its
    // echo is arriving resets the connection, and QEMU may then lose the command.
    bool disconnectFromMonitor(QString* error = nullptr, int peerCloseWaitMs = 0);

    // Sends the text followed by one carriage return. False with the reason when not connected or
    // the write failed; nothing is queued for later.
    bool SendMonitorCommand(const QString& text, QString* error = nullptr);
    // Sends bytes as they are (typed keys, the terminal's answers).
    bool sendData(const QByteArray& bytes, QString* error = nullptr);
    // What the TCP connection read: the telnet protocol is taken out and answered, the monitor's
    // text goes on through dataReceived(). Called by the socket; the fuzz entry feeds it alone.
    void receiveTelnet(const QByteArray& bytes);

signals:
    void connected();
    void disconnected();
    void errorOccurred(const QString& text);
    // The monitor's output with the telnet protocol taken out.
    void dataReceived(const QByteArray& data);

private:
    static void telnetEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void handleTelnetEvent(telnet_event_t* event);
    void resetTelnet();
    void readSocket();
    void dropConnection();

    QTcpSocket* m_socket = nullptr;
    QLocalSocket* m_local = nullptr;
    bool m_useLocal = false;
    telnet_t* m_telnet = nullptr;
    int m_port = 0;
    QByteArray m_received; // application data of the read in progress
    QString m_writeError;  // set when a write inside telnet_send failed
};

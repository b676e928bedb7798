#include "launch/MonitorClient.h"

#include <QHostAddress>
#include <QLocalSocket>
#include <QTcpSocket>

#include <libtelnet.h>
#include <limits>

namespace {

// What we agree to: the server echoes and suppresses go-ahead (QEMU offers both, with binary
// mode), and we tell our terminal type when asked. Everything else is refused.
const telnet_telopt_t acceptedOptions[] = {
    {TELNET_TELOPT_ECHO, TELNET_WONT, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_TTYPE, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

const char terminalType[] = "vt100";
constexpr int closeTimeoutMs = 2000;

// Closes a TCP or local socket the same way: after "quit", QEMU may close its end first.
template <typename Socket, typename State, typename Disconnect>
bool closeSocket(Socket& socket, State unconnected, State connected, Disconnect disconnectNow,
                 QString* error, int peerCloseWaitMs)
{
    if (socket.state() == unconnected)
        return true;
    if (peerCloseWaitMs > 0 && socket.state() == connected) {
        socket.flush();
        if (socket.waitForDisconnected(peerCloseWaitMs) || socket.state() == unconnected)
            return true;
    }
    // Closed at once, so that a following connect finds the socket free; what was sent last
    // ("quit") still goes out first.
    (socket.*disconnectNow)();
    if (socket.state() != unconnected && !socket.waitForDisconnected(closeTimeoutMs)) {
        const QString reason = socket.errorString();
        socket.abort();
        if (error)
            *error = reason;
        return false;
    }
    return true;
}

} // namespace

MonitorClient::MonitorClient(QObject* parent)
    : QObject(parent), m_socket(new QTcpSocket(this)), m_local(new QLocalSocket(this))
{
    resetTelnet();
    connect(m_socket, &QTcpSocket::connected, this, &MonitorClient::connected);
    connect(m_socket, &QTcpSocket::disconnected, this, &MonitorClient::disconnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &MonitorClient::readSocket);
    connect(m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError socketError) {
                // QEMU closing the monitor when the VM ends is the normal end of a session, told
                // by disconnected(), not an error.
                if (socketError == QAbstractSocket::RemoteHostClosedError)
                    return;
                emit errorOccurred(m_socket->errorString());
            });
    connect(m_local, &QLocalSocket::connected, this, &MonitorClient::connected);
    connect(m_local, &QLocalSocket::disconnected, this, &MonitorClient::disconnected);
    connect(m_local, &QLocalSocket::readyRead, this, &MonitorClient::readSocket);
    connect(m_local, &QLocalSocket::errorOccurred, this,
            [this](QLocalSocket::LocalSocketError socketError) {
                if (socketError == QLocalSocket::PeerClosedError)
                    return;
                emit errorOccurred(m_local->errorString());
            });
}

MonitorClient::~MonitorClient()
{
    // No signals to a half-destroyed owner.
    m_socket->disconnect(this);
    m_socket->abort();
    m_local->disconnect(this);
    m_local->abort();
    if (m_telnet)
        telnet_free(m_telnet);
}

void MonitorClient::resetTelnet()
{
    if (m_telnet)
        telnet_free(m_telnet);
    m_telnet = telnet_init(acceptedOptions, &MonitorClient::telnetEvent, 0, this);
}

void MonitorClient::dropConnection()
{
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    if (m_local->state() != QLocalSocket::UnconnectedState)
        m_local->abort();
    // Each connection starts the negotiation afresh.
    resetTelnet();
}

void MonitorClient::connectToPort(int port)
{
    dropConnection();
    m_useLocal = false;
    m_port = port;
    // A port read from a VM file may lie past TCP's range, and would wrap onto another one.
    if (port < 1 || port > std::numeric_limits<quint16>::max()) {
        emit errorOccurred(QStringLiteral("%1 is not a port").arg(port));
        return;
    }
    m_socket->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(port));
}

void MonitorClient::connectToSocket(const QString& path)
{
    dropConnection();
    m_useLocal = true;
    m_port = 0;
    m_local->connectToServer(path);
}

bool MonitorClient::isConnected() const
{
    return m_useLocal ? m_local->state() == QLocalSocket::ConnectedState
                      : m_socket->state() == QAbstractSocket::ConnectedState;
}

bool MonitorClient::disconnectFromMonitor(QString* error, int peerCloseWaitMs)
{
    if (m_useLocal)
        return closeSocket(*m_local, QLocalSocket::UnconnectedState, QLocalSocket::ConnectedState,
                           &QLocalSocket::disconnectFromServer, error, peerCloseWaitMs);
    return closeSocket(*m_socket, QAbstractSocket::UnconnectedState,
                       QAbstractSocket::ConnectedState, &QTcpSocket::disconnectFromHost, error,
                       peerCloseWaitMs);
}

bool MonitorClient::SendMonitorCommand(const QString& text, QString* error)
{
    return sendData(text.toUtf8() + '\r', error);
}

bool MonitorClient::sendData(const QByteArray& bytes, QString* error)
{
    if (!isConnected()) {
        if (error)
            *error = QStringLiteral("The QEMU monitor is not connected");
        return false;
    }
    m_writeError.clear();
    if (m_useLocal) {
        // A monitor socket carries the text as it is.
        if (m_local->write(bytes) < 0) {
            if (error)
                *error = m_local->errorString();
            return false;
        }
        return true;
    }
    telnet_send(m_telnet, bytes.constData(), size_t(bytes.size()));
    if (!m_writeError.isEmpty()) {
        if (error)
            *error = m_writeError;
        return false;
    }
    return true;
}

void MonitorClient::readSocket()
{
    if (m_useLocal) {
        const QByteArray bytes = m_local->readAll();
        if (!bytes.isEmpty())
            emit dataReceived(bytes);
        return;
    }
    receiveTelnet(m_socket->readAll());
}

void MonitorClient::receiveTelnet(const QByteArray& bytes)
{
    m_received.clear();
    telnet_recv(m_telnet, bytes.constData(), size_t(bytes.size()));
    if (!m_received.isEmpty())
        emit dataReceived(m_received);
}

void MonitorClient::telnetEvent(telnet_t*, telnet_event_t* event, void* self)
{
    static_cast<MonitorClient*>(self)->handleTelnetEvent(event);
}

void MonitorClient::handleTelnetEvent(telnet_event_t* event)
{
    switch (event->type) {
    case TELNET_EV_DATA:
        m_received.append(event->data.buffer, qsizetype(event->data.size));
        break;
    case TELNET_EV_SEND:
        if (m_socket->write(event->data.buffer, qint64(event->data.size)) < 0)
            m_writeError = m_socket->errorString();
        break;
    case TELNET_EV_TTYPE:
        if (event->ttype.cmd == TELNET_TTYPE_SEND)
            telnet_ttype_is(m_telnet, terminalType);
        break;
    case TELNET_EV_ERROR:
        // The peer broke the protocol; the session cannot go on.
        emit errorOccurred(QString::fromUtf8(event->error.msg));
        m_socket->abort();
        break;
    default:
        break;
    }
}

#include "launch/DisplayConnection.h"

#include "platform/LoadedLibrary.h"

#include <QFile>
#include <QMetaObject>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <rfb/rfbclient.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A server silent this long in the middle of a message has stalled: the connection is dropped.
constexpr unsigned ReadTimeoutSeconds = 10;
// Dirty rectangles beyond this many are merged into their bounding rectangle.
constexpr qsizetype MaxDirtyRects = 32;
// Input beyond this while the server does not read is dropped rather than kept without end.
constexpr size_t MaxQueuedInput = 4096;

struct Input
{
    bool key;
    quint32 keysym;
    quint32 scancode;
    bool down;
    int x;
    int y;
    int buttons;
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// libvncclient, and the TLS, SASL and image libraries it brings, are loaded when the first display
// connects: linked into the program they would be mapped and relocated at each of its starts.
struct VncLibrary
{
    decltype(&::rfbGetClient) rfbGetClient = nullptr;
    decltype(&::rfbClientCleanup) rfbClientCleanup = nullptr;
    decltype(&::SetClientAuthSchemes) SetClientAuthSchemes = nullptr;
    decltype(&::InitialiseRFBConnection) InitialiseRFBConnection = nullptr;
    decltype(&::WriteToRFBServer) WriteToRFBServer = nullptr;
    decltype(&::SendFramebufferUpdateRequest) SendFramebufferUpdateRequest = nullptr;
    decltype(&::HandleRFBServerMessage) HandleRFBServerMessage = nullptr;
    decltype(&::SupportsClient2Server) SupportsClient2Server = nullptr;
    decltype(&::SendPointerEvent) SendPointerEvent = nullptr;
    decltype(&::SendExtendedKeyEvent) SendExtendedKeyEvent = nullptr;
    decltype(&::SendKeyEvent) SendKeyEvent = nullptr;
    rfbClientLogProc* rfbClientLog = nullptr;
    rfbClientLogProc* rfbClientErr = nullptr;
    QString error; // why it could not be loaded; empty when it was

    // Loaded once for the life of the program; never unloaded.
    static const VncLibrary& get();
};

const VncLibrary& VncLibrary::get()
{
    static const VncLibrary loaded = [] {
        VncLibrary vnc;
        QLibrary library(QStringLiteral("vncclient"), 1);
        const bool all =
            library.load() && LoadedLibrary::resolve(library, "rfbGetClient", vnc.rfbGetClient) &&
            LoadedLibrary::resolve(library, "rfbClientCleanup", vnc.rfbClientCleanup) &&
            LoadedLibrary::resolve(library, "SetClientAuthSchemes", vnc.SetClientAuthSchemes) &&
            LoadedLibrary::resolve(library, "InitialiseRFBConnection",
                                   vnc.InitialiseRFBConnection) &&
            LoadedLibrary::resolve(library, "WriteToRFBServer", vnc.WriteToRFBServer) &&
            LoadedLibrary::resolve(library, "SendFramebufferUpdateRequest",
                                   vnc.SendFramebufferUpdateRequest) &&
            LoadedLibrary::resolve(library, "HandleRFBServerMessage", vnc.HandleRFBServerMessage) &&
            LoadedLibrary::resolve(library, "SupportsClient2Server", vnc.SupportsClient2Server) &&
            LoadedLibrary::resolve(library, "SendPointerEvent", vnc.SendPointerEvent) &&
            LoadedLibrary::resolve(library, "SendExtendedKeyEvent", vnc.SendExtendedKeyEvent) &&
            LoadedLibrary::resolve(library, "SendKeyEvent", vnc.SendKeyEvent) &&
            LoadedLibrary::resolve(library, "rfbClientLog", vnc.rfbClientLog) &&
            LoadedLibrary::resolve(library, "rfbClientErr", vnc.rfbClientErr);
        if (!all)
            vnc.error = library.errorString();
        return vnc;
    }();
    return loaded;
}

} // namespace

struct DisplayConnection::Session
{
    DisplayConnection* owner = nullptr;
    quint64 id = 0;
    QByteArray path;
    int retryMs = 0;
    std::thread thread;
    std::atomic<bool> stop{false};
    int wake = -1;
    // The connected socket, published under the lock so that the owner can shut it down.
    std::mutex socketLock;
    int socket = -1;

    mutable std::mutex frameLock;
    std::vector<quint32> frame;
    QSize size;
    QList<QRect> dirty;
    bool updatePosted = false;
    quint64 updates = 0;

    std::mutex inputLock;
    std::vector<Input> input;
    std::atomic<bool> extended{false};

    // The protocol thread's own.
    const VncLibrary* vnc = nullptr;
    rfbClient* client = nullptr;
    // The frame libvncclient decodes into; ours to free, as libvncclient never does.
    uint8_t* clientFrame = nullptr;
    QString reason;      // set by the size check
    QString lastMessage; // libvncclient's last word

    ~Session()
    {
        std::free(clientFrame);
        if (wake >= 0)
            ::close(wake);
        if (socket >= 0)
            ::close(socket);
    }

    void run();
    int connectSocket(std::chrono::steady_clock::time_point deadline);
    bool publish(int fd);
    bool handshake(int fd);
    // Runs the connection until it ends: Idle when stopped, Closed, or Failed with the reason.
    State loop(QString* failure);
    quint64 updateCount() const
    {
        const std::lock_guard lock(frameLock);
        return updates;
    }
    bool sendInput();
    // A tenth of a second before trying again; close() cuts it short.
    void pause() const
    {
        pollfd wait = {wake, POLLIN, 0};
        ::poll(&wait, 1, 100);
    }
    void wakeUp() const
    {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }
    void end(State state, const QString& why);
    template <typename F>
    void post(F call)
    {
        QMetaObject::invokeMethod(owner, std::move(call), Qt::QueuedConnection);
    }

    // libvncclient's callbacks; they run on the protocol thread and find its session there.
    static rfbBool allocateFrame(rfbClient* client);
    static void rectangleUpdated(rfbClient* client, int x, int y, int w, int h);
    static void updateFinished(rfbClient* client);
    static void log(const char* format, ...);
    static char* noPassword(rfbClient*) { return nullptr; }
};

namespace {

thread_local DisplayConnection::Session* current = nullptr;

} // namespace

void DisplayConnection::Session::log(const char* format, ...)
{
    if (!current)
        return;
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    const QString line = QString::fromLocal8Bit(text).trimmed();
    if (!line.isEmpty())
        current->lastMessage = line;
}

rfbBool DisplayConnection::Session::allocateFrame(rfbClient* client)
{
    Session* self = current;
    std::free(self->clientFrame);
    self->clientFrame = nullptr;
    client->frameBuffer = nullptr;
    const int width = client->width;
    const int height = client->height;
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide) {
        self->reason = QStringLiteral("the display reported an unusable size of %1 x %2 pixels")
                           .arg(width)
                           .arg(height);
        return FALSE;
    }
    const size_t pixels = size_t(width) * size_t(height);
    self->clientFrame = static_cast<uint8_t*>(std::calloc(pixels, sizeof(quint32)));
    client->frameBuffer = self->clientFrame;
    if (!client->frameBuffer) {
        self->reason =
            QStringLiteral("no memory for a display of %1 x %2 pixels").arg(width).arg(height);
        return FALSE;
    }
    {
        const std::lock_guard lock(self->frameLock);
        self->frame.assign(pixels, 0xff000000u);
        self->size = QSize(width, height);
        self->dirty.clear();
    }
    const quint64 id = self->id;
    DisplayConnection* owner = self->owner;
    const QSize size(width, height);
    self->post([owner, id, size] { owner->sessionResized(id, size); });
    return TRUE;
}

void DisplayConnection::Session::rectangleUpdated(rfbClient* client, int x, int y, int w, int h)
{
    Session* self = current;
    const std::lock_guard lock(self->frameLock);
    const QRect rect = QRect(x, y, w, h).intersected(QRect(QPoint(0, 0), self->size));
    if (rect.isEmpty() || !client->frameBuffer)
        return;
    const auto* source = reinterpret_cast<const quint32*>(client->frameBuffer);
    const int width = self->size.width();
    for (int row = rect.top(); row <= rect.bottom(); ++row) {
        const quint32* from = source + qsizetype(row) * width + rect.left();
        quint32* to = self->frame.data() + qsizetype(row) * width + rect.left();
        // The server leaves the unused byte as it likes; the window's format wants it set.
        for (int column = 0; column < rect.width(); ++column)
            to[column] = from[column] | 0xff000000u;
    }
    self->dirty.append(rect);
    if (self->dirty.size() > MaxDirtyRects) {
        QRect bounds;
        for (const QRect& each : std::as_const(self->dirty))
            bounds |= each;
        self->dirty = {bounds};
    }
}

void DisplayConnection::Session::updateFinished(rfbClient*)
{
    Session* self = current;
    bool post = false;
    {
        const std::lock_guard lock(self->frameLock);
        ++self->updates;
        // One notice at a time: the window takes every rectangle gathered when it gets to it.
        post = !self->updatePosted && !self->dirty.isEmpty();
        if (post)
            self->updatePosted = true;
    }
    if (post) {
        DisplayConnection* owner = self->owner;
        const quint64 id = self->id;
        self->post([owner, id] { owner->sessionUpdated(id); });
    }
}

void DisplayConnection::Session::run()
{
    current = this;
    // A write to a server that has gone must fail, not end the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    const VncLibrary& library = VncLibrary::get();
    if (!library.error.isEmpty()) {
        end(State::Failed,
            QStringLiteral("The VM's display could not be opened: %1").arg(library.error));
        return;
    }
    // libvncclient logs through two global hooks; each line goes to the session of its thread.
    static std::once_flag hooks;
    std::call_once(hooks, [&library] {
        *library.rfbClientLog = &Session::log;
        *library.rfbClientErr = &Session::log;
    });
    vnc = &library;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(retryMs);
    bool announced = false;
    for (;;) {
        const int fd = connectSocket(deadline);
        if (fd < 0 || !publish(fd) || !handshake(fd))
            return;
        if (!announced) {
            DisplayConnection* connection = owner;
            const quint64 session = id;
            post([connection, session] { connection->sessionConnected(session); });
            announced = true;
        }
        const quint64 before = updateCount();
        QString failure;
        const State outcome = loop(&failure);
        vnc->rfbClientCleanup(client);
        client = nullptr;
        if (outcome == State::Idle)
            return;
        // QEMU does not tell of a resolution change made before it has heard that this viewer
        // takes them, and its first update then does not fit; the next greeting has the size.
        if (outcome == State::Failed && updateCount() == before &&
            std::chrono::steady_clock::now() < deadline) {
            reason.clear();
            lastMessage.clear();
            pause();
            continue;
        }
        end(outcome, failure);
        return;
    }
}

bool DisplayConnection::Session::publish(int fd)
{
    const std::lock_guard lock(socketLock);
    if (stop) {
        ::close(fd);
        return false;
    }
    if (socket >= 0)
        ::close(socket);
    socket = fd;
    return true;
}

int DisplayConnection::Session::connectSocket(std::chrono::steady_clock::time_point deadline)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path)) {
        end(State::Failed, QStringLiteral("The path of the VM's display socket is too long: %1")
                               .arg(QFile::decodeName(path)));
        return -1;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    int error = 0;
    while (!stop) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            error = errno;
            break;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        error = errno;
        ::close(fd);
        if (std::chrono::steady_clock::now() >= deadline)
            break;
        // Missing or not yet listening: QEMU is still starting.
        pause();
    }
    if (!stop)
        end(State::Failed, QStringLiteral("The VM's display at %1 could not be reached: %2")
                               .arg(QFile::decodeName(path), systemError(error)));
    return -1;
}

bool DisplayConnection::Session::handshake(int fd)
{
    client = vnc->rfbGetClient(8, 3, 4);
    if (!client) {
        end(State::Failed, QStringLiteral("The VM's display could not be opened: no memory"));
        return false;
    }
    // 0x00RRGGBB in the host's order, as the window's images hold it.
    client->format.redShift = 16;
    client->format.greenShift = 8;
    client->format.blueShift = 0;
    client->MallocFrameBuffer = &Session::allocateFrame;
    client->GotFrameBufferUpdate = &Session::rectangleUpdated;
    client->FinishedFrameBufferUpdate = &Session::updateFinished;
    client->GetPassword = &Session::noPassword;
    client->canHandleNewFBSize = TRUE;
    client->readTimeout = ReadTimeoutSeconds;
    // The socket is private to this user: no password, no encryption.
    const uint32_t noAuthentication[] = {rfbNoAuth};
    vnc->SetClientAuthSchemes(client, noAuthentication, 1);
    client->sock = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);

    // The set-up after the greeting is sent here rather than by libvncclient: 0.9.14 asks for the
    // extended size change and then ignores QEMU's (which names its one screen 0), so a guest
    // that changes resolution would end the connection. The plain size change serves.
    const uint32_t encodings[] = {rfbEncodingRaw, rfbEncodingCopyRect, rfbEncodingNewFBSize,
                                  rfbEncodingQemuExtendedKeyEvent};
    rfbSetPixelFormatMsg format = {};
    format.type = rfbSetPixelFormat;
    format.format = client->format;
    format.format.redMax = htons(format.format.redMax);
    format.format.greenMax = htons(format.format.greenMax);
    format.format.blueMax = htons(format.format.blueMax);
    QByteArray setUp(reinterpret_cast<const char*>(&format), sz_rfbSetPixelFormatMsg);
    const char encodingsHeader[] = {char(rfbSetEncodings), 0, 0, char(std::size(encodings))};
    setUp.append(encodingsHeader, sizeof encodingsHeader);
    for (uint32_t encoding : encodings) {
        const uint32_t wire = htonl(encoding);
        setUp.append(reinterpret_cast<const char*>(&wire), sizeof wire);
    }
    bool ready = vnc->InitialiseRFBConnection(client);
    if (ready) {
        client->width = client->si.framebufferWidth;
        client->height = client->si.framebufferHeight;
        ready =
            allocateFrame(client) &&
            vnc->WriteToRFBServer(client, setUp.constData(), unsigned(setUp.size())) &&
            vnc->SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
    }
    if (ready)
        return true;
    vnc->rfbClientCleanup(client);
    client = nullptr;
    if (!stop)
        end(State::Failed,
            QStringLiteral("The VM's display could not be opened: %1")
                .arg(!reason.isEmpty()        ? reason
                     : !lastMessage.isEmpty() ? lastMessage
                                              : QStringLiteral("no VNC server answered")));
    return false;
}

DisplayConnection::State DisplayConnection::Session::loop(QString* failure)
{
    while (!stop) {
        if (client->buffered == 0) {
            pollfd fds[2] = {{client->sock, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                *failure = systemError(errno);
                break;
            }
            if (fds[1].revents) {
                quint64 count = 0;
                [[maybe_unused]] const ssize_t got = ::read(wake, &count, sizeof count);
            }
            if (stop)
                break;
            if (!sendInput()) {
                *failure = lastMessage;
                break;
            }
            if (!fds[0].revents)
                continue;
            // Closed between two messages: the VM has ended or let go of its display.
            char next = 0;
            if (::recv(client->sock, &next, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                return State::Closed;
        }
        if (!vnc->HandleRFBServerMessage(client)) {
            *failure = !reason.isEmpty() ? reason : lastMessage;
            break;
        }
        extended = vnc->SupportsClient2Server(client, rfbQemuEvent);
    }
    if (stop)
        return State::Idle;
    *failure = QStringLiteral("The VM's display connection broke off: %1")
                   .arg(failure->isEmpty() ? QStringLiteral("the server closed it") : *failure);
    return State::Failed;
}

bool DisplayConnection::Session::sendInput()
{
    std::vector<Input> pending;
    {
        const std::lock_guard lock(inputLock);
        pending.swap(input);
    }
    const bool scancodes = vnc->SupportsClient2Server(client, rfbQemuEvent);
    for (const Input& each : pending) {
        rfbBool sent = TRUE;
        if (!each.key)
            sent = vnc->SendPointerEvent(client, each.x, each.y, each.buttons);
        else if (scancodes && each.scancode != 0)
            sent = vnc->SendExtendedKeyEvent(client, each.keysym, each.scancode, each.down);
        else if (each.keysym != 0)
            sent = vnc->SendKeyEvent(client, each.keysym, each.down);
        if (!sent)
            return false;
    }
    return true;
}

void DisplayConnection::Session::end(State state, const QString& why)
{
    DisplayConnection* connection = owner;
    const quint64 session = id;
    post([connection, session, state, why] { connection->sessionEnded(session, state, why); });
}

DisplayConnection::DisplayConnection(QObject* parent) : QObject(parent) {}

DisplayConnection::~DisplayConnection()
{
    close();
}

void DisplayConnection::open(const QString& socketPath)
{
    close();
    auto session = std::make_unique<Session>();
    session->owner = this;
    session->id = m_nextId++;
    session->path = QFile::encodeName(socketPath);
    session->retryMs = 5000;
    session->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (session->wake < 0) {
        const QString error = systemError(errno);
        setState(State::Failed);
        emit failed(QStringLiteral("The VM's display could not be opened: %1").arg(error));
        return;
    }
    m_session = std::move(session);
    setState(State::Connecting);
    Session* running = m_session.get();
    m_session->thread = std::thread([running] { running->run(); });
}

void DisplayConnection::close()
{
    if (!m_session)
        return;
    {
        // Breaks off a read or write that waits for the server.
        const std::lock_guard lock(m_session->socketLock);
        m_session->stop = true;
        if (m_session->socket >= 0)
            ::shutdown(m_session->socket, SHUT_RDWR);
    }
    m_session->wakeUp();
    if (m_session->thread.joinable())
        m_session->thread.join();
    m_session.reset();
    m_state = State::Idle;
}

QSize DisplayConnection::frameSize() const
{
    if (!m_session)
        return {};
    const std::lock_guard lock(m_session->frameLock);
    return m_session->size;
}

bool DisplayConnection::extendedKeys() const
{
    return m_session && m_session->extended;
}

void DisplayConnection::readFrame(
    const std::function<void(const quint32* pixels, QSize size, quint64 updates)>& use) const
{
    if (!m_session)
        return;
    const std::lock_guard lock(m_session->frameLock);
    if (!m_session->frame.empty())
        use(m_session->frame.data(), m_session->size, m_session->updates);
}

void DisplayConnection::sendKey(quint32 keysym, quint32 scancode, bool down)
{
    if (m_state != State::Connected)
        return;
    {
        const std::lock_guard lock(m_session->inputLock);
        if (m_session->input.size() >= MaxQueuedInput)
            return;
        m_session->input.push_back({true, keysym, scancode, down, 0, 0, 0});
    }
    m_session->wakeUp();
}

void DisplayConnection::sendPointer(int x, int y, int buttons)
{
    if (m_state != State::Connected)
        return;
    {
        const std::lock_guard lock(m_session->inputLock);
        std::vector<Input>& input = m_session->input;
        // A move that has not gone out yet is replaced by the next one with the same buttons.
        if (!input.empty() && !input.back().key && input.back().buttons == buttons)
            input.pop_back();
        if (input.size() >= MaxQueuedInput)
            return;
        input.push_back({false, 0, 0, false, qBound(0, x, 0xffff), qBound(0, y, 0xffff), buttons});
    }
    m_session->wakeUp();
}

void DisplayConnection::setClipboardSharing(bool) {}

void DisplayConnection::offerClipboardText(const QString&) {}

void DisplayConnection::requestDesktopSize(const QSize&) {}

void DisplayConnection::sessionConnected(quint64 id)
{
    if (m_session && m_session->id == id)
        setState(State::Connected);
}

void DisplayConnection::sessionResized(quint64 id, QSize size)
{
    if (m_session && m_session->id == id)
        emit frameResized(size);
}

void DisplayConnection::sessionUpdated(quint64 id)
{
    if (!m_session || m_session->id != id)
        return;
    QList<QRect> rects;
    {
        const std::lock_guard lock(m_session->frameLock);
        rects.swap(m_session->dirty);
        m_session->updatePosted = false;
    }
    if (!rects.isEmpty())
        emit frameChanged(rects);
}

void DisplayConnection::sessionEnded(quint64 id, State state, const QString& reason)
{
    if (!m_session || m_session->id != id)
        return;
    // The thread has finished or is finishing: let it go with its frame.
    close();
    setState(state);
    if (state == State::Failed)
        emit failed(reason);
}

void DisplayConnection::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

#include "launch/DisplayConnection.h"

#include "launch/VncClipboard.h"
#include "platform/LoadedLibrary.h"

#include <QFile>
#include <QMetaObject>
#include <QtEndian>

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

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A server silent this long in the middle of a message has stalled: the connection is dropped.
// QEMU stops for seconds in the middle of an update while it saves a large guest.
constexpr unsigned ReadTimeoutSeconds = 60;
// The pauses between attempts to connect: doubled after each failed one.
constexpr milliseconds FirstRetry{100};
constexpr milliseconds LastRetry{1000};
// A socket that has not answered for this long is told of once; the attempts go on.
constexpr milliseconds UnreachableAfter{5000};
// A connection that breaks sooner counts as one of the attempts after the break before it: a
// server that greets and drops at once is neither told of again nor hurried.
constexpr milliseconds LastingAfter{1000};
// Dirty rectangles beyond this many are merged into their bounding rectangle.
constexpr qsizetype MaxDirtyRects = 32;
// Input beyond this while the server does not read is dropped rather than kept without end.
constexpr size_t MaxQueuedInput = 4096;
// The limit on the clipboard in its old form, Latin-1 text; libvncclient has the same.
constexpr qint32 MaxLegacyText = 1 << 20;

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

QString brokeOff(const QString& why)
{
    return QStringLiteral("The VM's display connection broke off: %1").arg(why);
}

// RFB SetDesktopSize with one screen filling the desktop.
QByteArray desktopSizeMessage(QSize size)
{
    QByteArray message(8 + 16, '\0');
    char* bytes = message.data();
    bytes[0] = char(rfbSetDesktopSize);
    qToBigEndian(quint16(size.width()), bytes + 2);
    qToBigEndian(quint16(size.height()), bytes + 4);
    bytes[6] = 1;
    // The screen: id 0 at 0, 0 with no flags.
    qToBigEndian(quint16(size.width()), bytes + 8 + 8);
    qToBigEndian(quint16(size.height()), bytes + 8 + 10);
    return message;
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
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> sharing{false};
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

    // What the owner has for the server.
    std::mutex inputLock;
    std::vector<Input> input;
    QSize desktopSize;     // the resolution to ask for; none when not valid
    QString offered;       // the host's clipboard text, until the guest's clipboard changes
    bool offerDue = false; // the server is yet to hear of it
    std::atomic<bool> extended{false};

    // The protocol thread's own.
    const VncLibrary* vnc = nullptr;
    rfbClient* client = nullptr;
    // The frame libvncclient decodes into; ours to free, as libvncclient never does.
    uint8_t* clientFrame = nullptr;
    QString reason;              // set by the size check
    QString lastMessage;         // libvncclient's last word
    bool announced = false;      // the owner knows of this connection
    bool clipboard = false;      // this connection asked for the extended clipboard
    quint32 serverClipboard = 0; // what the server said it does with it; 0 before it did

    ~Session()
    {
        std::free(clientFrame);
        if (wake >= 0)
            ::close(wake);
        if (socket >= 0)
            ::close(socket);
    }

    void run();
    int connectSocket(int* error) const;
    bool publish(int fd);
    void unpublish();
    bool handshake(int fd, QString* failure);
    void dropConnection();
    quint64 updateCount() const
    {
        const std::lock_guard lock(frameLock);
        return updates;
    }
    // Runs the connection until it ends: Idle when stopped, Closed, or Failed with the reason.
    State loop(QString* failure);
    // Waits for the server to send, sending what the owner queued meanwhile; 1 when it has sent,
    // 0 after timeoutMs (-1: no limit), -1 when stopped or failed.
    int await(int timeoutMs, QString* failure);
    bool readExactly(char* out, size_t count, QString* failure);
    bool takeCutText(QString* failure);
    bool clipboardMessage(quint32 flags, const QByteArray& payload, QString* failure);
    void clipboardReceived(const QString& text);
    bool sendQueued();
    bool write(const QByteArray& message)
    {
        return vnc->WriteToRFBServer(client, message.constData(), unsigned(message.size()));
    }
    // Waits before the next attempt; close() cuts it short.
    void pause(milliseconds time) const;
    void wakeUp() const
    {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    }
    void drainWake() const
    {
        quint64 count = 0;
        [[maybe_unused]] const ssize_t got = ::read(wake, &count, sizeof count);
    }
    void tell(State state, const QString& why);
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
    // The greeting's size goes with the news of the connection.
    if (self->announced) {
        const quint64 id = self->id;
        DisplayConnection* owner = self->owner;
        const QSize size(width, height);
        self->post([owner, id, size] { owner->sessionResized(id, size); });
    }
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
        tell(State::Failed,
             QStringLiteral("The VM's display could not be opened: %1").arg(library.error));
        return;
    }
    if (path.size() >= qsizetype(sizeof sockaddr_un::sun_path)) {
        tell(State::Failed, QStringLiteral("The path of the VM's display socket is too long: %1")
                                .arg(QFile::decodeName(path)));
        return;
    }
    // libvncclient logs through two global hooks; each line goes to the session of its thread.
    static std::once_flag hooks;
    std::call_once(hooks, [&library] {
        *library.rfbClientLog = &Session::log;
        *library.rfbClientErr = &Session::log;
    });
    vnc = &library;

    const auto start = Clock::now();
    milliseconds retry = FirstRetry;
    // A failure has been told: the attempts after it fail quietly.
    bool told = false;
    // QEMU 7.2 does not tell of a resolution change made before it has heard that this viewer
    // takes them, and its first update then does not fit; the next greeting has the size. Such a
    // break before anything was shown is retried once without a word.
    bool quietRetryUsed = false;
    while (!stop) {
        int error = 0;
        const int fd = connectSocket(&error);
        if (fd < 0) {
            // Missing or not yet listening: QEMU is still starting, or has ended.
            if (!told && Clock::now() - start >= UnreachableAfter) {
                tell(State::Connecting,
                     QStringLiteral("The VM's display at %1 could not be reached: %2")
                         .arg(QFile::decodeName(path), systemError(error)));
                told = true;
            }
        } else if (!publish(fd)) {
            break;
        } else {
            QString failure;
            if (!handshake(fd, &failure)) {
                if (!told && !stop)
                    tell(State::Failed,
                         QStringLiteral("The VM's display could not be opened: %1").arg(failure));
                told = true;
            } else {
                const auto connected = Clock::now();
                const quint64 before = updateCount();
                const State outcome = loop(&failure);
                dropConnection();
                if (outcome == State::Idle)
                    break;
                const bool shown = updateCount() != before;
                if (shown)
                    quietRetryUsed = false;
                if (outcome == State::Failed && !shown && !quietRetryUsed) {
                    quietRetryUsed = true;
                    unpublish();
                    pause(FirstRetry);
                    continue;
                }
                if (Clock::now() - connected >= LastingAfter) {
                    told = false;
                    retry = FirstRetry;
                }
                tell(outcome, outcome == State::Failed && !told ? failure : QString());
                told = true;
            }
            unpublish();
        }
        pause(retry);
        retry = std::min(retry * 2, LastRetry);
    }
}

bool DisplayConnection::Session::publish(int fd)
{
    const std::lock_guard lock(socketLock);
    if (stop) {
        ::close(fd);
        return false;
    }
    socket = fd;
    return true;
}

void DisplayConnection::Session::unpublish()
{
    const std::lock_guard lock(socketLock);
    if (socket >= 0)
        ::close(socket);
    socket = -1;
}

int DisplayConnection::Session::connectSocket(int* error) const
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    *error = errno;
    ::close(fd);
    return -1;
}

bool DisplayConnection::Session::handshake(int fd, QString* failure)
{
    reason.clear();
    lastMessage.clear();
    serverClipboard = 0;
    clipboard = sharing;
    client = vnc->rfbGetClient(8, 3, 4);
    if (!client) {
        *failure = QStringLiteral("no memory");
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
    std::vector<uint32_t> encodings = {rfbEncodingRaw, rfbEncodingCopyRect, rfbEncodingNewFBSize,
                                       rfbEncodingQemuExtendedKeyEvent};
    if (clipboard)
        encodings.push_back(VncClipboard::Encoding);
    rfbSetPixelFormatMsg format = {};
    format.type = rfbSetPixelFormat;
    format.format = client->format;
    format.format.redMax = htons(format.format.redMax);
    format.format.greenMax = htons(format.format.greenMax);
    format.format.blueMax = htons(format.format.blueMax);
    QByteArray setUp(reinterpret_cast<const char*>(&format), sz_rfbSetPixelFormatMsg);
    const char encodingsHeader[] = {char(rfbSetEncodings), 0, 0, char(encodings.size())};
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
            allocateFrame(client) && write(setUp) &&
            vnc->SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
    }
    if (!ready) {
        *failure = !reason.isEmpty()        ? reason
                   : !lastMessage.isEmpty() ? lastMessage
                                            : QStringLiteral("no VNC server answered");
        dropConnection();
        return false;
    }
    // What was queued for a connection before this one is not for this one.
    {
        const std::lock_guard lock(inputLock);
        input.clear();
        desktopSize = {};
        offerDue = !offered.isEmpty();
    }
    announced = true;
    DisplayConnection* connection = owner;
    const quint64 session = id;
    const QSize greeting(client->width, client->height);
    post([connection, session, greeting] { connection->sessionConnected(session, greeting); });
    return true;
}

void DisplayConnection::Session::dropConnection()
{
    if (client)
        vnc->rfbClientCleanup(client);
    client = nullptr;
    std::free(clientFrame);
    clientFrame = nullptr;
    announced = false;
    extended = false;
    const std::lock_guard lock(frameLock);
    frame.clear();
    size = {};
    dirty.clear();
}

int DisplayConnection::Session::await(int timeoutMs, QString* failure)
{
    const auto deadline = Clock::now() + milliseconds(timeoutMs);
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return 0;
            wait = int(left);
        }
        pollfd fds[2] = {{client->sock, POLLIN, 0}, {wake, POLLIN, 0}};
        if (::poll(fds, 2, wait) < 0) {
            if (errno == EINTR)
                continue;
            *failure = systemError(errno);
            return -1;
        }
        if (stop)
            return -1;
        if (fds[1].revents) {
            drainWake();
            if (!sendQueued()) {
                *failure = lastMessage;
                return -1;
            }
        }
        if (fds[0].revents)
            return 1;
    }
}

DisplayConnection::State DisplayConnection::Session::loop(QString* failure)
{
    while (!stop) {
        if (client->buffered == 0) {
            // Closed between two messages: the VM has ended or let go of its display. A VM that
            // ends before it has read what was sent to it resets the connection, and the input
            // sent as it ends may fail first.
            if (await(-1, failure) < 0) {
                char next = 0;
                const ssize_t got = ::recv(client->sock, &next, 1, MSG_PEEK | MSG_DONTWAIT);
                if (!stop && (got == 0 || (got < 0 && errno == ECONNRESET)))
                    return State::Closed;
                break;
            }
            const ssize_t got = ::read(client->sock, client->buf, RFB_BUF_SIZE);
            if (got == 0 || (got < 0 && errno == ECONNRESET))
                return State::Closed;
            if (got < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                *failure = systemError(errno);
                break;
            }
            client->bufoutptr = client->buf;
            client->buffered = unsigned(got);
        }
        // A message has begun in libvncclient's buffer. The clipboard's is read here: 0.9.14
        // takes a length below 0, the extended form, for a broken connection.
        if (static_cast<uint8_t>(*client->bufoutptr) == rfbServerCutText) {
            if (!takeCutText(failure)) {
                if (failure->isEmpty())
                    *failure = lastMessage;
                break;
            }
            continue;
        }
        if (!vnc->HandleRFBServerMessage(client)) {
            *failure = !reason.isEmpty() ? reason : lastMessage;
            break;
        }
        extended = vnc->SupportsClient2Server(client, rfbQemuEvent);
    }
    if (stop)
        return State::Idle;
    *failure = brokeOff(failure->isEmpty() ? QStringLiteral("the server closed it") : *failure);
    return State::Failed;
}

bool DisplayConnection::Session::readExactly(char* out, size_t count, QString* failure)
{
    // What libvncclient has buffered first, then the socket.
    const size_t buffered = std::min(count, size_t(client->buffered));
    std::memcpy(out, client->bufoutptr, buffered);
    client->bufoutptr += buffered;
    client->buffered -= unsigned(buffered);
    out += buffered;
    count -= buffered;
    while (count > 0) {
        const ssize_t got = ::read(client->sock, out, count);
        if (got > 0) {
            out += got;
            count -= size_t(got);
            continue;
        }
        if (got == 0) {
            *failure = QStringLiteral("VNC server closed connection");
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            *failure = systemError(errno);
            return false;
        }
        const int ready = await(int(ReadTimeoutSeconds * 1000), failure);
        if (ready == 0)
            *failure = QStringLiteral("Connection timed out");
        if (ready <= 0)
            return false;
    }
    return true;
}

bool DisplayConnection::Session::takeCutText(QString* failure)
{
    char header[8];
    if (!readExactly(header, sizeof header, failure))
        return false;
    const qint32 length = qFromBigEndian<qint32>(header + 4);
    if (length >= 0) {
        if (length > MaxLegacyText) {
            *failure = QStringLiteral("the server's clipboard text is larger than 1 MiB");
            return false;
        }
        QByteArray text(length, Qt::Uninitialized);
        if (!readExactly(text.data(), size_t(length), failure))
            return false;
        if (clipboard && sharing)
            clipboardReceived(QString::fromLatin1(text));
        return true;
    }
    const quint32 bytes = 0u - quint32(length);
    if (bytes < 4 || bytes > VncClipboard::MaxPayload) {
        *failure = bytes < 4
                       ? QStringLiteral("the server's clipboard message is not valid")
                       : QStringLiteral("the server's clipboard message is larger than %1 MiB")
                             .arg(VncClipboard::MaxPayload >> 20);
        return false;
    }
    QByteArray message(qsizetype(bytes), Qt::Uninitialized);
    if (!readExactly(message.data(), bytes, failure))
        return false;
    if (!clipboard)
        return true;
    return clipboardMessage(qFromBigEndian<quint32>(message.constData()), message.mid(4), failure);
}

bool DisplayConnection::Session::clipboardMessage(quint32 flags, const QByteArray& payload,
                                                  QString* failure)
{
    using namespace VncClipboard;
    if (flags & Caps) {
        serverClipboard = flags;
        if (!write(capsMessage()))
            return false;
        // The host's text, if any, waits for this.
        return sendQueued();
    }
    if (!serverClipboard || !sharing)
        return true;
    if (flags & Provide) {
        QString error;
        const std::optional<QString> text = providedText(flags, payload, &error);
        if (!error.isEmpty()) {
            *failure = error;
            return false;
        }
        if (text)
            clipboardReceived(*text);
    }
    if ((flags & Request) && (flags & Text)) {
        QString text;
        {
            const std::lock_guard lock(inputLock);
            text = offered;
        }
        if (!write(provideMessage(text)))
            return false;
    }
    // The guest's clipboard changed: its text is asked for at once.
    if ((flags & Notify) && (flags & Text) && !write(clientMessage(Request | Text)))
        return false;
    return true;
}

void DisplayConnection::Session::clipboardReceived(const QString& text)
{
    {
        // The host's offer is out of date: a reconnection must not bring it back.
        const std::lock_guard lock(inputLock);
        offered.clear();
        offerDue = false;
    }
    DisplayConnection* connection = owner;
    const quint64 session = id;
    post([connection, session, text] { connection->sessionClipboard(session, text); });
}

bool DisplayConnection::Session::sendQueued()
{
    std::vector<Input> pending;
    QSize resolution;
    bool offer = false;
    bool text = false;
    {
        const std::lock_guard lock(inputLock);
        pending.swap(input);
        resolution = std::exchange(desktopSize, QSize());
        if (offerDue && serverClipboard && sharing) {
            offer = true;
            text = !offered.isEmpty();
            offerDue = false;
        }
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
    if (resolution.isValid() && !write(desktopSizeMessage(resolution)))
        return false;
    using namespace VncClipboard;
    return !offer || write(clientMessage(text ? Notify | Text : quint32(Notify)));
}

void DisplayConnection::Session::pause(milliseconds time) const
{
    const auto until = Clock::now() + time;
    while (!stop) {
        const auto left = std::chrono::ceil<milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return;
        pollfd wait = {wake, POLLIN, 0};
        if (::poll(&wait, 1, int(left)) > 0)
            drainWake();
    }
}

void DisplayConnection::Session::tell(State state, const QString& why)
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
    session->sharing = m_clipboardSharing;
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
    m_guestText.clear();
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
    if (!m_session || m_state != State::Connected)
        return {};
    const std::lock_guard lock(m_session->frameLock);
    return m_session->size;
}

bool DisplayConnection::extendedKeys() const
{
    return m_session && m_state == State::Connected && m_session->extended;
}

void DisplayConnection::readFrame(
    const std::function<void(const quint32* pixels, QSize size, quint64 updates)>& use) const
{
    // A frame the protocol thread has for a connection not yet announced is not shown early.
    if (!m_session || m_state != State::Connected)
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

void DisplayConnection::setClipboardSharing(bool on)
{
    m_clipboardSharing = on;
    if (m_session)
        m_session->sharing = on;
}

void DisplayConnection::offerClipboardText(const QString& text)
{
    // What came from the guest goes no further back than the host.
    if (!m_session || !m_clipboardSharing || text == m_guestText)
        return;
    {
        const std::lock_guard lock(m_session->inputLock);
        m_session->offered = text;
        m_session->offerDue = true;
    }
    m_session->wakeUp();
}

void DisplayConnection::requestDesktopSize(const QSize& size)
{
    if (m_state != State::Connected || size.isEmpty())
        return;
    {
        const std::lock_guard lock(m_session->inputLock);
        m_session->desktopSize =
            QSize(qBound(1, size.width(), MaxSide), qBound(1, size.height(), MaxSide));
    }
    m_session->wakeUp();
}

void DisplayConnection::sessionConnected(quint64 id, QSize size)
{
    if (!m_session || m_session->id != id)
        return;
    setState(State::Connected);
    emit frameResized(size);
}

void DisplayConnection::sessionResized(quint64 id, QSize size)
{
    if (m_session && m_session->id == id && m_state == State::Connected)
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
    if (!rects.isEmpty() && m_state == State::Connected)
        emit frameChanged(rects);
}

void DisplayConnection::sessionClipboard(quint64 id, const QString& text)
{
    if (!m_session || m_session->id != id || !m_clipboardSharing)
        return;
    m_guestText = text;
    emit clipboardTextReceived(text);
}

void DisplayConnection::sessionEnded(quint64 id, State state, const QString& reason)
{
    if (!m_session || m_session->id != id)
        return;
    setState(state);
    if (!reason.isEmpty())
        emit failed(reason);
}

void DisplayConnection::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

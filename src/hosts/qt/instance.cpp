#include "hosts/qt/instance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/log.h"

namespace host::qt {
namespace {

constexpr quint32 magic = 0x4F53544B;  // "OSTK"
constexpr quint32 version = 1;
// Bounds that no real request comes near; anything past them is refused unread.
constexpr qsizetype maxRequestBytes = 1 << 20;
constexpr quint32 maxPaths = 256;
constexpr quint32 maxPathBytes = 4096;
constexpr char accepted = 1;
constexpr int connectMilliseconds = 2000;
constexpr int answerMilliseconds = 10000;
// A connection that has not sent a whole request by then is dropped.
constexpr int requestMilliseconds = 5000;

// Longer parts of a name are replaced by a hash, so that the socket's path stays well within
// the 108 bytes a socket address holds.
constexpr qsizetype maxNamePartBytes = 48;

// Letters, digits, '.' and '-' stay; every other byte becomes %XX. '_' is escaped too, so that
// a name part made of a hash (which starts with '_') is never the escape of a value.
QString fileNamePart(const QByteArray& value) {
    QByteArray part = value.toPercentEncoding({}, "_~");
    if (part.size() > maxNamePartBytes)
        part = '_' + QCryptographicHash::hash(value, QCryptographicHash::Sha256).toHex().left(32);
    return QString::fromLatin1(part);
}

bool allDigits(const QByteArray& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An X display is [host]:number[.screen]; "unix" and no host both mean this machine.
QString xDisplayName(const QByteArray& display) {
    const qsizetype colon = display.lastIndexOf(':');
    if (colon >= 0) {
        QByteArray host = display.left(colon);
        QByteArray number = display.mid(colon + 1);
        const qsizetype dot = number.indexOf('.');
        const QByteArray screen = dot >= 0 ? number.mid(dot + 1) : QByteArray("0");
        if (dot >= 0) number.truncate(dot);
        bool ok = false;
        const uint value = number.toUInt(&ok);
        if (allDigits(number) && ok && allDigits(screen)) {
            if (host == "unix") host.clear();
            const QString tail = QString::number(value);
            return QStringLiteral("ostrakonix-x11-") + (host.isEmpty() ? tail : fileNamePart(host) + '-' + tail);
        }
    }
    // Not of the usual form: the whole value names it.
    return QStringLiteral("ostrakonix-x11_") + fileNamePart(display);
}

// Where the channel lives when the user has no runtime folder.
QString fallbackFolder() { return QStringLiteral("/tmp/ostrakonix-%1").arg(::geteuid()); }

QString describeErrno(const QString& what, int error) {
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

// The user of the process at the other end of a connection, or an empty string when it is
// this process's (effective) user.
std::string otherPeerUser(const QLocalSocket& socket) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return "unknown";
    return credentials.uid == ::geteuid() ? std::string() : std::to_string(credentials.uid);
}

}  // namespace

QByteArray encodeOpenRequest(const std::vector<std::string>& paths) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << magic << version << static_cast<quint32>(paths.size());
    for (const std::string& path : paths) {
        out << static_cast<quint32>(path.size());
        out.writeRawData(path.data(), static_cast<int>(path.size()));
    }
    return bytes;
}

OpenRequestParse decodeOpenRequest(const QByteArray& bytes) {
    using State = OpenRequestParse::State;
    OpenRequestParse result;
    if (bytes.size() > maxRequestBytes) {
        result.state = State::Invalid;
        return result;
    }
    QDataStream in(bytes);
    quint32 head = 0, ver = 0, count = 0;
    in >> head >> ver >> count;
    if (in.status() != QDataStream::Ok) return result;  // the header is not all there yet
    if (head != magic || ver != version || count > maxPaths) {
        result.state = State::Invalid;
        return result;
    }
    for (quint32 i = 0; i < count; ++i) {
        quint32 length = 0;
        in >> length;
        if (in.status() != QDataStream::Ok) return result;
        if (length == 0 || length > maxPathBytes) {
            result.state = State::Invalid;
            return result;
        }
        std::string path(length, '\0');
        if (in.readRawData(path.data(), static_cast<int>(length)) != static_cast<int>(length)) return result;
        if (path.front() != '/' || path.find('\0') != std::string::npos) {
            result.state = State::Invalid;
            return result;
        }
        result.paths.push_back(std::move(path));
    }
    if (!in.atEnd()) {
        result.state = State::Invalid;
        result.paths.clear();
        return result;
    }
    result.state = State::Complete;
    return result;
}

QString channelName(const QByteArray& xDisplay, const QByteArray& waylandDisplay, const QByteArray& terminal) {
    if (!xDisplay.isEmpty()) return xDisplayName(xDisplay);
    if (!waylandDisplay.isEmpty()) return QStringLiteral("ostrakonix-wayland-") + fileNamePart(waylandDisplay);
    if (!terminal.isEmpty()) {
        QByteArray device = terminal;
        if (device.startsWith("/dev/")) device.remove(0, 5);
        return QStringLiteral("ostrakonix-tty-") + fileNamePart(device);
    }
    return QStringLiteral("ostrakonix");
}

QString channelName() {
    const char* terminal = ::isatty(STDIN_FILENO) ? ::ttyname(STDIN_FILENO) : nullptr;
    return channelName(qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), terminal ? QByteArray(terminal) : QByteArray());
}

QString preparePrivateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0) {
        if (errno != ENOENT) return describeErrno(path + QStringLiteral(" cannot be checked"), errno);
        if (::mkdir(name.constData(), 0700) == 0) {
            // Made by this start: the umask may have taken bits that the owner needs. Opened
            // without following a link, in case one has taken its place since.
            const int folder = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (folder >= 0) {
                ::fchmod(folder, 0700);
                ::close(folder);
            }
        } else if (errno != EEXIST) {
            return describeErrno(path + QStringLiteral(" cannot be made"), errno);
        }
        if (::lstat(name.constData(), &status) != 0)
            return describeErrno(path + QStringLiteral(" cannot be checked"), errno);
    }
    if (S_ISLNK(status.st_mode)) return path + QStringLiteral(" is a symbolic link");
    if (!S_ISDIR(status.st_mode)) return path + QStringLiteral(" is not a folder");
    if (status.st_uid != ::geteuid())
        return path + QStringLiteral(" belongs to another user (uid %1)").arg(status.st_uid);
    if ((status.st_mode & 07777) != 0700)
        return path + QStringLiteral(" has mode %1, not 0700").arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

InstanceChannel::InstanceChannel(QString folder, QString name) : folder_(std::move(folder)) {
    // The runtime folder is the user's own: Qt takes it only when it is a folder of this user
    // that only this user may enter.
    if (folder_.isEmpty() && !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder_.isEmpty()) folder_ = fallbackFolder();
    if (name.isEmpty()) name = channelName();
    socketPath_ = QDir(folder_).filePath(name + QStringLiteral(".socket"));
    lockPath_ = QDir(folder_).filePath(name + QStringLiteral(".lock"));
}

InstanceChannel::~InstanceChannel() { stopListening(); }

InstanceChannel::Start InstanceChannel::start(const std::vector<std::string>& paths, Receiver receiver) {
    // Checked at each start: a folder that others may enter, or a link planted in its place,
    // would let them take or read the files handed over.
    whyAlone_ = preparePrivateFolder(folder_);
    if (!whyAlone_.isEmpty()) return Start::Alone;
    // Two starts at once: the lock lets one look and listen before the other looks.
    QLockFile lock(lockPath_);
    if (!lock.tryLock(connectMilliseconds)) {
        whyAlone_ = lock.error() == QLockFile::LockFailedError
                        ? QStringLiteral("the lock %1 is held by another start").arg(lockPath_)
                        : QStringLiteral("the lock %1 cannot be made").arg(lockPath_);
        return Start::Alone;
    }

    QLocalSocket client;
    client.connectToServer(socketPath_);
    if (client.waitForConnected(connectMilliseconds)) {
        client.write(encodeOpenRequest(paths));
        client.flush();
        QByteArray answer;
        while (answer.isEmpty() && client.waitForReadyRead(answerMilliseconds)) answer += client.readAll();
        client.disconnectFromServer();
        return answer.startsWith(accepted) ? Start::HandedOver : Start::Refused;
    }

    receiver_ = std::move(receiver);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered: a socket file left there is one of a program that has gone.
    if (!server_->listen(socketPath_)) {
        QLocalServer::removeServer(socketPath_);
        if (!server_->listen(socketPath_)) {
            whyAlone_ = QStringLiteral("no socket can listen at %1: %2").arg(socketPath_, server_->errorString());
            delete server_;
            server_ = nullptr;
            return Start::Alone;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    return Start::First;
}

void InstanceChannel::stopListening() {
    if (!server_) return;
    server_->close();
    delete server_;
    server_ = nullptr;
}

void InstanceChannel::accept() {
    while (server_ && server_->hasPendingConnections()) {
        QLocalSocket* socket = server_->nextPendingConnection();
        // Only the user's own starts may hand files over: anything else is dropped unread.
        if (const std::string other = otherPeerUser(*socket); !other.empty()) {
            kt::logLine("InstanceChannel: Connection of another user refused (uid " + other + ").");
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Owned by the channel, not the server, so that stopListening leaves it be.
        socket->setParent(this);
        socket->setProperty("request", QByteArray());
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(requestMilliseconds, socket, [socket] { socket->abort(); });
    }
}

void InstanceChannel::read(QLocalSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    const OpenRequestParse parse = decodeOpenRequest(request);
    switch (parse.state) {
    case OpenRequestParse::State::Incomplete:
        socket->setProperty("request", request);
        return;
    case OpenRequestParse::State::Invalid:
        socket->abort();
        return;
    case OpenRequestParse::State::Complete:
        socket->setProperty("request", QByteArray());
        if (receiver_) receiver_(parse.paths);
        socket->write(QByteArray(1, accepted));
        socket->disconnectFromServer();
        return;
    }
}

}  // namespace host::qt

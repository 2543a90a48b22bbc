#include "host/qt/instance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

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

QString socketName() { return QStringLiteral("ostrakonix.socket"); }

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

InstanceChannel::InstanceChannel(QString folder) : folder_(std::move(folder)) {
    // The runtime folder is the user's own (Qt checks its owner and makes it private).
    if (folder_.isEmpty()) folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder_.isEmpty()) socketPath_ = QDir(folder_).filePath(socketName());
}

InstanceChannel::~InstanceChannel() { stopListening(); }

InstanceChannel::Start InstanceChannel::start(const std::vector<std::string>& paths, Receiver receiver) {
    if (socketPath_.isEmpty()) return Start::Alone;
    // Two starts at once: the lock lets one look and listen before the other looks.
    QLockFile lock(QDir(folder_).filePath(QStringLiteral("ostrakonix.lock")));
    if (!lock.tryLock(connectMilliseconds)) return Start::Alone;

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

// One running editor per user: a later start hands its files to the running program through
// a local socket in the user's runtime folder and ends.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace host::qt {

// The request one start sends: the paths to open, each absolute. Encoded with a header and
// a length for each path, so that any byte a file name may hold (a line end too) goes
// through unchanged.
QByteArray encodeOpenRequest(const std::vector<std::string>& paths);

// Decoding a request as its bytes arrive: Incomplete until they are all there; Invalid for
// anything that is not a well-formed request of acceptable size with absolute paths.
struct OpenRequestParse {
    enum class State { Incomplete, Invalid, Complete } state = State::Incomplete;
    std::vector<std::string> paths;
};
OpenRequestParse decodeOpenRequest(const QByteArray& bytes);

class InstanceChannel : public QObject {
public:
    enum class Start {
        HandedOver,  // a program runs and took the paths: this start ends here
        Refused,     // a program runs but did not take them
        First,       // no program ran: this one listens for later starts
        Alone,       // no channel could be set up safely: this one runs without
    };
    using Receiver = std::function<void(const std::vector<std::string>& paths)>;

    // folder: where the socket lives; by default the user's runtime folder.
    explicit InstanceChannel(QString folder = {});
    ~InstanceChannel() override;

    // Hands the paths to a running program, or becomes the one that later starts hand theirs
    // to; receiver then gets each request on the GUI thread.
    Start start(const std::vector<std::string>& paths, Receiver receiver);
    // Stops taking requests: a later start runs a program of its own.
    void stopListening();
    QString socketPath() const { return socketPath_; }

private:
    void accept();
    void read(QLocalSocket* socket);

    QString folder_;
    QString socketPath_;
    QLocalServer* server_ = nullptr;
    Receiver receiver_;
};

}  // namespace host::qt

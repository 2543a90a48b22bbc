// One running editor per user and display: a later start on the same display hands its files
// to the running program through a local socket in the user's runtime folder and ends.
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

// The stem of the channel's file names, one for each display an editor may show on: the X
// display (its host and number: the screen, and "unix" for the local host, make no
// difference), else the Wayland display, else the terminal on standard input, else a fixed
// name. Safe as a file name and short enough for a socket path.
QString channelName(const QByteArray& xDisplay, const QByteArray& waylandDisplay, const QByteArray& terminal);
// The same from this process's DISPLAY, WAYLAND_DISPLAY and standard input.
QString channelName();

// Makes the folder at path (mode 0700) when it is missing, then checks it without following a
// link: a folder, not a link to one, owned by this user, mode exactly 0700. Returns why it may
// not hold the channel, or an empty string when it may.
QString preparePrivateFolder(const QString& path);

class InstanceChannel : public QObject {
public:
    enum class Start {
        HandedOver,  // a program runs and took the paths: this start ends here
        Refused,     // a program runs but did not take them
        First,       // no program ran: this one listens for later starts
        Alone,       // no channel could be set up safely: this one runs without
    };
    using Receiver = std::function<void(const std::vector<std::string>& paths)>;

    // folder: where the socket lives; by default the user's runtime folder, or where there is
    // none, /tmp/ostrakonix-<uid>. name: the stem of the socket's and the lock's file names;
    // by default the one of this process's display.
    explicit InstanceChannel(QString folder = {}, QString name = {});
    ~InstanceChannel() override;

    // Hands the paths to a running program, or becomes the one that later starts hand theirs
    // to; receiver then gets each request on the GUI thread.
    Start start(const std::vector<std::string>& paths, Receiver receiver);
    // Stops taking requests: a later start runs a program of its own.
    void stopListening();
    QString socketPath() const { return socketPath_; }
    // After start answered Alone: why.
    QString whyAlone() const { return whyAlone_; }

private:
    void accept();
    void read(QLocalSocket* socket);

    QString folder_;
    QString socketPath_;
    QString lockPath_;
    QString whyAlone_;
    QLocalServer* server_ = nullptr;
    Receiver receiver_;
};

}  // namespace host::qt

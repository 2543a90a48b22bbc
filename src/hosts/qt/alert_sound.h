// The alert: the application's short sound resource, played through the desktop's audio
// output where there is one.
#pragma once

#include <QString>
#include <memory>

namespace host::qt {

class AlertSound {
public:
    explicit AlertSound(QString file);
    ~AlertSound();
    AlertSound(const AlertSound&) = delete;
    AlertSound& operator=(const AlertSound&) = delete;

    // Starts the sound, or lets the one that plays go on: an alert never plays twice at once.
    // False when it cannot be played here (no sound file, no audio output, a file that does
    // not load), so that the caller rings the system beep instead. GUI thread only.
    bool play();

private:
    struct Player;
    QString file_;
    std::unique_ptr<Player> player_;  // made at the first alert
};

}  // namespace host::qt

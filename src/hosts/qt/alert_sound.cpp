#include "hosts/qt/alert_sound.h"

#include <QFileInfo>
#include <QUrl>

#ifdef OSTRAKONIX_HAVE_QT_MULTIMEDIA
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#endif

namespace host::qt {

#ifdef OSTRAKONIX_HAVE_QT_MULTIMEDIA
struct AlertSound::Player {
    QSoundEffect effect;
};
#else
struct AlertSound::Player {};
#endif

AlertSound::AlertSound(QString file) : file_(std::move(file)) {}

AlertSound::~AlertSound() = default;

bool AlertSound::play() {
#ifdef OSTRAKONIX_HAVE_QT_MULTIMEDIA
    if (!QFileInfo(file_).isFile()) return false;
    // Without an output the effect reports itself playing all the same: no sound would come.
    if (QMediaDevices::audioOutputs().isEmpty()) return false;
    if (!player_) {
        player_ = std::make_unique<Player>();
        player_->effect.setSource(QUrl::fromLocalFile(file_));
    }
    QSoundEffect& effect = player_->effect;
    if (effect.status() == QSoundEffect::Error) return false;
    if (effect.isPlaying()) return true;
    effect.play();  // while the file still loads, the effect starts once it has
    return true;
#else
    return false;
#endif
}

}  // namespace host::qt

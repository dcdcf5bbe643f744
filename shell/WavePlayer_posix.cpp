#include "shell/WavePlayer.h"

#include <QApplication>
#include <QFileInfo>

#ifdef TESSARO_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#endif

namespace tessaro {
namespace {

#ifdef TESSARO_HAVE_MULTIMEDIA
// A sound that never reports its end is dropped after this long.
constexpr int kLongestSoundMs = 30000;
#endif

}  // namespace

void playWaveFile(const std::string& wav) {
    const QString file = QString::fromStdString(wav);
    if (!QFileInfo::exists(file)) {
        QApplication::beep();
        return;
    }
#ifdef TESSARO_HAVE_MULTIMEDIA
    // Without an output device a sound effect may wait for one that never
    // comes: no device, no sound.
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;
    // The effect lives on its own until it has played or failed.
    auto* effect = new QSoundEffect(device, qApp);
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Ready) effect->play();
        if (effect->status() == QSoundEffect::Error) effect->deleteLater();
    });
    QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
        if (!effect->isPlaying()) effect->deleteLater();
    });
    QTimer::singleShot(kLongestSoundMs, effect, &QObject::deleteLater);
    effect->setSource(QUrl::fromLocalFile(file));
#else
    QApplication::beep();
#endif
}

}  // namespace tessaro

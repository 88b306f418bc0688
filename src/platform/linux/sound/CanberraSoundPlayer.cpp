#include "platform/linux/sound/CanberraSoundPlayer.h"

#include <canberra.h>

CanberraSoundPlayer::CanberraSoundPlayer() = default;

CanberraSoundPlayer::~CanberraSoundPlayer() {
    if (m_context) {
        ca_context_destroy(m_context);
    }
}

QString CanberraSoundPlayer::themeSoundId(const QString& soundName) {
    if (soundName == QLatin1String("Tink")) {
        return QStringLiteral("audio-volume-change");
    }
    if (soundName == QLatin1String("Pop")) {
        return QStringLiteral("complete");
    }
    if (soundName == QLatin1String("Basso")) {
        return QStringLiteral("dialog-error");
    }
    return soundName;
}

void CanberraSoundPlayer::play(const QString& soundName) {
    if (soundName.isEmpty()) {
        return;
    }
    if (!m_context) {
        if (ca_context_create(&m_context) != CA_SUCCESS) {
            m_context = nullptr;
            return;
        }
        ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Orlavo", CA_PROP_APPLICATION_ID,
                                "orlavo", nullptr);
    }
    const QByteArray id = themeSoundId(soundName).toUtf8();
    // Asynchronous: the sound plays on libcanberra's own thread. Failure is silence by design;
    // a context that lost its server is made anew on the next sound.
    const int result = ca_context_play(m_context, 0, CA_PROP_EVENT_ID, id.constData(), CA_PROP_MEDIA_ROLE,
                                       "event", CA_PROP_CANBERRA_XDG_THEME_NAME, "freedesktop", nullptr);
    if (result == CA_ERROR_DISCONNECTED || result == CA_ERROR_STATE) {
        ca_context_destroy(m_context);
        m_context = nullptr;
    }
}

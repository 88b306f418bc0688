#pragma once

#include "core/ports/KeySynthesizer.h"

#include <QList>
#include <QStringList>

class EventJournal;

// Records every key press it is asked to post; can be told to refuse them.
class RecordingKeySynthesizer final : public KeySynthesizer {
public:
    struct Tap {
        quint16 keyCode = 0;
        quint64 flags = 0;
        friend bool operator==(const Tap&, const Tap&) = default;
    };

    explicit RecordingKeySynthesizer(EventJournal* journal = nullptr)
        : m_journal(journal) {}

    Result<void> tapKey(quint16 keyCode, quint64 flags) override;
    bool isAvailable() const override { return m_available; }
    bool canTypeText() const override { return true; }
    Result<void> typeText(const QString& text) override;

    // Unavailable: every tap fails and nothing is posted.
    void setAvailable(bool available) { m_available = available; }
    // The next `count` taps succeed, the ones after fail (negative: never fail).
    void failAfter(int count) { m_failAfter = count; }

    const QList<Tap>& taps() const { return m_taps; }
    const QStringList& typed() const { return m_typed; }
    static QString describe(quint16 keyCode, quint64 flags);

private:
    EventJournal* m_journal;
    QList<Tap> m_taps;
    QStringList m_typed;
    bool m_available = true;
    int m_failAfter = -1;
};

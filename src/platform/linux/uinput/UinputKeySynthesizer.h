#pragma once

#include "core/common/Result.h"
#include "core/ports/KeySynthesizer.h"
#include "platform/linux/input/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// Key presses typed through a virtual keyboard of our own made with uinput: the compositor takes
// it for one more keyboard, so this works under any compositor for users who may write
// /dev/uinput. Keys go by position (the evdev code of the US key), so the compositor's layout
// decides which symbol they type.
class UinputKeySynthesizer final : public KeySynthesizer {
public:
    // The virtual keyboard's name; the evdev key source leaves this device out.
    static inline const QString deviceName = QStringLiteral("Orlavo virtual keyboard");

    // Writes key events to `fd`: a created uinput device, or anything else that takes writes.
    explicit UinputKeySynthesizer(UniqueFd fd);
    ~UinputKeySynthesizer() override;
    UinputKeySynthesizer(const UinputKeySynthesizer&) = delete;
    UinputKeySynthesizer& operator=(const UinputKeySynthesizer&) = delete;

    // Creates the virtual keyboard at `path` (/dev/uinput).
    static Result<std::unique_ptr<UinputKeySynthesizer>> create(const QString& path);

    // Why `path` cannot be used for typing, in one line; absent when it can be written.
    static std::optional<QString> problem(const QString& path);

    // The events for one chord: modifiers down, the key down and up, the modifiers up in reverse,
    // each followed by a report. Absent when a key has no evdev code.
    static std::optional<QByteArray> chordEvents(quint16 keyCode, quint64 flags);

    Result<void> tapKey(quint16 keyCode, quint64 flags) override;
    bool isAvailable() const override { return m_fd.isValid(); }

private:
    UniqueFd m_fd;
    bool m_isDevice = false;
};

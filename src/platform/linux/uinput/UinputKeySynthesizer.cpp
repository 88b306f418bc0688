#include "platform/linux/uinput/UinputKeySynthesizer.h"

#include "core/common/ErrorCode.h"
#include "core/common/PlatformError.h"
#include "core/hotkey/KeyCodes.h"
#include "platform/linux/input/LinuxKeyTable.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Pressed in this order and released in reverse, as the X11 path does. Caps Lock and fn in the
// flags are states, not keys to hold.
constexpr std::array<std::pair<quint64, qint64>, 4> modifierKeys{{
    {ModifierFlags::control, 0x3B},
    {ModifierFlags::option, 0x3A},
    {ModifierFlags::shift, 0x38},
    {ModifierFlags::command, 0x37},
}};

PTTError synthesisError(const QString& description) {
    return makeError(PlatformError::cannotPostKeys, QStringLiteral("Cannot type keys: %1").arg(description));
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The kernel stamps events written to uinput itself, so ours carry no time.
input_event makeEvent(quint16 type, quint16 code, qint32 value) {
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}

void appendKey(std::vector<input_event>& events, int code, bool press) {
    events.push_back(makeEvent(EV_KEY, static_cast<quint16>(code), press ? 1 : 0));
    // A report after every key: a press and its release in one frame may be merged into nothing.
    events.push_back(makeEvent(EV_SYN, SYN_REPORT, 0));
}

std::optional<std::vector<input_event>> chord(quint16 keyCode, quint64 flags) {
    std::vector<int> modifiers;
    for (const auto& [flag, modifierKey] : modifierKeys) {
        if (flags & flag) {
            modifiers.push_back(*LinuxKeyTable::evdevCode(modifierKey));
        }
    }
    const std::optional<int> key = LinuxKeyTable::evdevCode(keyCode);
    if (!key) {
        return std::nullopt;
    }
    std::vector<input_event> events;
    for (const int modifier : modifiers) {
        appendKey(events, modifier, true);
    }
    appendKey(events, *key, true);
    appendKey(events, *key, false);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        appendKey(events, *modifier, false);
    }
    return events;
}

QByteArray bytesOf(const std::vector<input_event>& events) {
    return QByteArray(reinterpret_cast<const char*>(events.data()),
                      static_cast<qsizetype>(events.size() * sizeof(input_event)));
}

// Writes all of `bytes`; the count written, or -errno when nothing could be.
qsizetype writeAll(int fd, const QByteArray& bytes) {
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return written > 0 ? written : -(count < 0 ? errno : EIO);
        }
        written += count;
    }
    return written;
}

} // namespace

UinputKeySynthesizer::UinputKeySynthesizer(UniqueFd fd)
    : m_fd(std::move(fd)) {}

UinputKeySynthesizer::~UinputKeySynthesizer() {
    if (m_isDevice) {
        ::ioctl(m_fd.get(), UI_DEV_DESTROY);
    }
}

std::optional<QString> UinputKeySynthesizer::problem(const QString& path) {
    if (::access(QFile::encodeName(path).constData(), W_OK) != 0) {
        return QStringLiteral("%1 cannot be written (%2)").arg(path, systemError(errno));
    }
    return std::nullopt;
}

Result<std::unique_ptr<UinputKeySynthesizer>> UinputKeySynthesizer::create(const QString& path) {
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isValid()) {
        return makeError(PlatformError::cannotPostKeys,
                         QStringLiteral("%1 cannot be opened (%2)").arg(path, systemError(errno)));
    }
    bool configured =
        ::ioctl(fd.get(), UI_SET_EVBIT, EV_KEY) == 0 && ::ioctl(fd.get(), UI_SET_EVBIT, EV_SYN) == 0;
    for (int code = 0; configured && code < KEY_CNT; ++code) {
        if (LinuxKeyTable::systemKeyCode(code)) {
            configured = ::ioctl(fd.get(), UI_SET_KEYBIT, code) == 0;
        }
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    const QByteArray name = deviceName.toUtf8();
    std::memcpy(setup.name, name.constData(), std::min<std::size_t>(name.size(), UINPUT_MAX_NAME_SIZE - 1));
    if (!configured || ::ioctl(fd.get(), UI_DEV_SETUP, &setup) != 0 ||
        ::ioctl(fd.get(), UI_DEV_CREATE) != 0) {
        return makeError(
            PlatformError::cannotPostKeys,
            QStringLiteral("%1 refused to make a virtual keyboard (%2)").arg(path, systemError(errno)));
    }
    auto synthesizer = std::make_unique<UinputKeySynthesizer>(std::move(fd));
    synthesizer->m_isDevice = true;
    return synthesizer;
}

std::optional<QByteArray> UinputKeySynthesizer::chordEvents(quint16 keyCode, quint64 flags) {
    const std::optional<std::vector<input_event>> events = chord(keyCode, flags);
    if (!events) {
        return std::nullopt;
    }
    return bytesOf(*events);
}

Result<void> UinputKeySynthesizer::tapKey(quint16 keyCode, quint64 flags) {
    if (!m_fd.isValid()) {
        return synthesisError(QStringLiteral("there is no virtual keyboard"));
    }
    // Every key is resolved before anything is written, so a missing one leaves nothing held.
    const std::optional<std::vector<input_event>> events = chord(keyCode, flags);
    if (!events) {
        return synthesisError(QStringLiteral("no key types the key code %1").arg(keyCode));
    }
    const QByteArray bytes = bytesOf(*events);
    const qsizetype written = writeAll(m_fd.get(), bytes);
    if (written == bytes.size()) {
        return Result<void>::success();
    }
    if (written > 0) {
        // Cut short: let go of whatever went down, so that no key stays held.
        std::vector<input_event> releases;
        std::vector<int> down;
        const auto sent = static_cast<std::size_t>(written) / sizeof(input_event);
        for (std::size_t index = 0; index < sent && index < events->size(); ++index) {
            const input_event& event = (*events)[index];
            if (event.type != EV_KEY) {
                continue;
            }
            if (event.value == 1) {
                down.push_back(event.code);
            } else {
                std::erase(down, event.code);
            }
        }
        for (auto code = down.rbegin(); code != down.rend(); ++code) {
            appendKey(releases, *code, false);
        }
        writeAll(m_fd.get(), bytesOf(releases));
        return synthesisError(QStringLiteral("the virtual keyboard took only part of the keys"));
    }
    return synthesisError(
        QStringLiteral("the virtual keyboard refused the keys (%1)").arg(systemError(int(-written))));
}

#include "platform/linux/evdev/EvdevKeyboardFinder.h"

#include "platform/linux/evdev/EvdevDeviceAccess.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace EvdevKeyboardFinder {

namespace {

const QString whatToDo =
    QStringLiteral("join the `input` group (then log in again), or bind `orlavo toggle` in your desktop's "
                   "shortcut settings");

bool isKeyboard(const EvdevDeviceAccess::Description& description) {
    return description.reportsKeys && description.keys.test(KEY_Q) && description.keys.test(KEY_A) &&
           description.keys.test(KEY_Z);
}

// event2 before event10.
int deviceNumber(const QString& name) {
    return name.mid(5).toInt();
}

} // namespace

QString Result::problem() const {
    if (!keyboards.empty()) {
        return {};
    }
    if (!directoryError.isEmpty()) {
        return QStringLiteral("no keyboard can be read (%1): %2").arg(directoryError, whatToDo);
    }
    if (deniedCount > 0) {
        return QStringLiteral("no keyboard can be read (%1 of %2 input devices are closed to this user): %3")
            .arg(deniedCount)
            .arg(deviceCount)
            .arg(whatToDo);
    }
    return QStringLiteral("no keyboard found among %1 input devices: %2").arg(deviceCount).arg(whatToDo);
}

QString Result::summary() const {
    QStringList names;
    for (const Keyboard& keyboard : keyboards) {
        names << QStringLiteral("%1 (%2)").arg(keyboard.path, keyboard.name);
    }
    return names.join(QStringLiteral(", "));
}

Result find(const QString& directory, const EvdevDeviceAccess& access, const QString& ignoredName) {
    Result result;
    const QDir folder(directory);
    if (!folder.exists()) {
        result.directoryError = QStringLiteral("%1 does not exist").arg(directory);
        return result;
    }
    static const QRegularExpression eventName(QStringLiteral("^event[0-9]+$"));
    QStringList names = folder.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    names.removeIf([](const QString& name) { return !eventName.match(name).hasMatch(); });
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return deviceNumber(a) < deviceNumber(b); });
    for (const QString& name : names) {
        ++result.deviceCount;
        const QString path = folder.filePath(name);
        const int opened = access.open(path);
        if (opened < 0) {
            if (opened == -EACCES || opened == -EPERM) {
                ++result.deniedCount;
            }
            continue;
        }
        UniqueFd fd(opened);
        const std::optional<EvdevDeviceAccess::Description> description = access.describe(fd.get(), path);
        if (!description || !isKeyboard(*description) ||
            (!ignoredName.isEmpty() && description->name == ignoredName)) {
            continue;
        }
        result.keyboards.push_back({path, description->name, std::move(fd)});
    }
    return result;
}

} // namespace EvdevKeyboardFinder

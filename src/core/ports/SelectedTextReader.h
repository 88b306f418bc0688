#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

// The text selected in the focused window of another application, as read through the platform
// (PRIMARY selection owned by the active window on X11). Never waits long: absent on time-out.
class SelectedTextReader {
public:
    virtual ~SelectedTextReader() = default;

    virtual QCoro::Task<std::optional<QString>> selectedText() = 0;
};

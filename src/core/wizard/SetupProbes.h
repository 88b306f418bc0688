#pragma once

#include <QString>

#include <functional>
#include <optional>

// The desktop checks of the setup wizard. Each may block for seconds (a display or a sound server
// that does not answer), so the wizard runs them off the main thread; each uses connections of its
// own and is safe on any thread.
struct SetupProbes {
    using Check = std::function<std::optional<QString>()>;

    // Why global keys cannot be heard and the paste keys cannot be posted; absent when they can.
    Check keyboardProblem;
    // Why no microphone opens; absent when the default input does.
    Check microphoneProblem;
    // Whether checking again can change the keyboard answer: a desktop chosen at start-up that
    // offers no keys at all stays so until Orlavo starts again.
    bool keyboardRecheckable = true;
};

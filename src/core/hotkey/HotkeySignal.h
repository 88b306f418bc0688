#pragma once

// What the hotkey monitor tells its owner.
enum class HotkeySignal {
    ready,     // the listener is installed
    keyDown,   // the hotkey went down: begin push-to-talk recording
    keyUp,     // released after a proper hold: finish the recording
    toggleOn,  // a double tap latched recording on
    toggleOff, // a double tap ended a latched recording
    cancel,    // throw the current recording away (Escape, or a press too short to count)
    reEnable,  // the key feed had been dropped and was switched back on
};

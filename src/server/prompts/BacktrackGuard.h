#pragma once

#include <string>

// The last line of defence for the backtrack edit, whose answer replaces text the user already
// has: when a model answers with most of the previous text missing (typically only the new
// dictation, which would silently delete the earlier words), the previous text followed by the
// new dictation is answered instead, which is what a dictation that corrects nothing should give.
namespace BacktrackGuard {

// Previous texts shorter than this are replaced wholesale by genuine corrections ("Monday" →
// "No, Tuesday"), so the guard leaves them to the model.
inline constexpr int minimumGuardedWords = 4;

std::string protect(const std::string& previousText, const std::string& newDictation,
                    const std::string& answer);

} // namespace BacktrackGuard

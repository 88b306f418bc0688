#pragma once

#include "core/common/Result.h"
#include "server/wav/PcmAudio.h"

#include <string_view>

// Reads a RIFF/WAVE file of linear PCM or IEEE float samples. Everything the header claims is
// checked against the bytes that are there: a header that promises more than the file holds, or
// sizes that disagree with each other, is refused rather than guessed around. Failures carry the
// HTTP status the service answers (400 malformed, 415 a well-formed file in a format it does not
// take) and a one-line reason.
namespace WavParser {

inline constexpr int minimumSampleRate = 8000;
inline constexpr int maximumSampleRate = 192000;
inline constexpr int maximumChannels = 8;

Result<PcmAudio> parse(std::string_view bytes);

} // namespace WavParser

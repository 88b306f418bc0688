#pragma once

#include "server/wav/AudioClip.h"

#include <string>

namespace WavEncoder {

// A canonical 44-byte-header WAV file of the clip.
std::string encode(const AudioClip& clip);

} // namespace WavEncoder

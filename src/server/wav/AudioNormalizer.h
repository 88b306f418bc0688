#pragma once

#include "core/common/Result.h"
#include "server/wav/AudioClip.h"
#include "server/wav/PcmAudio.h"

// Brings any parsed PCM or float WAV to the recognisers' format: channels are averaged, the rate
// is converted with soxr, float samples are clipped to the 16-bit range. Audio that is already
// 16 kHz mono 16-bit is copied unchanged.
namespace AudioNormalizer {

Result<AudioClip> toClip(const PcmAudio& audio);

} // namespace AudioNormalizer

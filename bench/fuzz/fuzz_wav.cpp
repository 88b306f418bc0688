// libFuzzer target: any bytes as an uploaded recording, through parsing and, when the service
// would accept its length, conversion to the recognisers' format.
#include "server/wav/AudioNormalizer.h"
#include "server/wav/WavParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto audio = WavParser::parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!audio) {
        return 0;
    }
    if (audio->data.size() > size || audio->channels <= 0 || audio->sampleRate <= 0) {
        std::abort(); // the samples must lie inside the input
    }
    if (audio->durationSeconds() <= 20.0) {
        const auto clip = AudioNormalizer::toClip(audio.value());
        if (clip && clip->samples.size() > std::size_t(audio->durationSeconds() * 16000.0) + 64) {
            std::abort();
        }
    }
    return 0;
}

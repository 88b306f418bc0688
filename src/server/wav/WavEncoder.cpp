#include "server/wav/WavEncoder.h"

#include <cstdint>

namespace WavEncoder {

namespace {

void appendU16(std::string& out, std::uint16_t value) {
    out.push_back(char(value & 0xFF));
    out.push_back(char(value >> 8));
}

void appendU32(std::string& out, std::uint32_t value) {
    appendU16(out, std::uint16_t(value & 0xFFFF));
    appendU16(out, std::uint16_t(value >> 16));
}

} // namespace

std::string encode(const AudioClip& clip) {
    const auto dataBytes = std::uint32_t(clip.samples.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    appendU32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    appendU32(out, 16);
    appendU16(out, 1); // PCM
    appendU16(out, 1); // mono
    appendU32(out, AudioClip::sampleRate);
    appendU32(out, AudioClip::sampleRate * 2);
    appendU16(out, 2);
    appendU16(out, 16);
    out += "data";
    appendU32(out, dataBytes);
    for (const std::int16_t sample : clip.samples) {
        appendU16(out, std::uint16_t(sample));
    }
    return out;
}

} // namespace WavEncoder

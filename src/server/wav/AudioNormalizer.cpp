#include "server/wav/AudioNormalizer.h"

#include "server/service/ServiceError.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <soxr.h>

namespace AudioNormalizer {

namespace {

std::uint32_t readLittleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = value << 8 | bytes[i];
    }
    return value;
}

// One sample scaled to [-1, 1).
float sampleAt(const unsigned char* bytes, SampleFormat format) {
    switch (format) {
    case SampleFormat::unsigned8:
        return (float(bytes[0]) - 128.0f) / 128.0f;
    case SampleFormat::signed16:
        return float(std::int16_t(readLittleEndian(bytes, 2))) / 32768.0f;
    case SampleFormat::signed24: {
        // Shift the 24 bits to the top so the sign comes along, then scale back down.
        const auto value = std::int32_t(readLittleEndian(bytes, 3) << 8) >> 8;
        return float(value) / 8388608.0f;
    }
    case SampleFormat::signed32:
        return float(double(std::int32_t(readLittleEndian(bytes, 4))) / 2147483648.0);
    case SampleFormat::float32: {
        const std::uint32_t bits = readLittleEndian(bytes, 4);
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    case SampleFormat::float64: {
        const std::uint64_t bits =
            std::uint64_t(readLittleEndian(bytes, 4)) | std::uint64_t(readLittleEndian(bytes + 4, 4)) << 32;
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return float(value);
    }
    }
    return 0.0f;
}

std::int16_t toInt16(float value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    const float scaled = std::round(value * 32768.0f);
    return std::int16_t(std::clamp(scaled, -32768.0f, 32767.0f));
}

} // namespace

Result<AudioClip> toClip(const PcmAudio& audio) {
    AudioClip clip;
    const std::size_t frames = audio.frameCount();
    const auto* bytes = reinterpret_cast<const unsigned char*>(audio.data.data());
    if (audio.isRecognizerFormat()) {
        clip.samples.resize(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            clip.samples[i] = std::int16_t(readLittleEndian(bytes + 2 * i, 2));
        }
        return clip;
    }

    const int sampleBytes = bytesPerSample(audio.format);
    const std::size_t frameBytes = std::size_t(sampleBytes) * audio.channels;
    std::vector<float> mono(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        float sum = 0.0f;
        for (int channel = 0; channel < audio.channels; ++channel) {
            sum += sampleAt(bytes + frame * frameBytes + std::size_t(channel) * sampleBytes, audio.format);
        }
        mono[frame] = sum / float(audio.channels);
    }

    std::vector<float> resampled;
    if (audio.sampleRate == AudioClip::sampleRate) {
        resampled = std::move(mono);
    } else {
        const double ratio = double(AudioClip::sampleRate) / audio.sampleRate;
        resampled.resize(std::size_t(std::ceil(double(frames) * ratio)) + 16);
        std::size_t produced = 0;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_error_t error =
            soxr_oneshot(audio.sampleRate, AudioClip::sampleRate, 1, mono.data(), frames, nullptr,
                         resampled.data(), resampled.size(), &produced, &io, &quality, nullptr);
        if (error) {
            return ServiceError::make(HttpStatus::internalError,
                                      std::string("could not convert the sample rate: ") + error);
        }
        resampled.resize(produced);
    }
    clip.samples.resize(resampled.size());
    std::transform(resampled.begin(), resampled.end(), clip.samples.begin(), toInt16);
    return clip;
}

} // namespace AudioNormalizer

#include "core/audio/SampleConverter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <soxr.h>

namespace {

constexpr int lowestRate = 1000;
constexpr int highestRate = 768000;
constexpr int mostChannels = 64;

float finite(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

// A NaN fed to the resampler would stay in its filter state and silence the rest of the stream.
template <typename Sample>
void downmix(const Sample* interleaved, std::size_t frames, int channels, float scale, float* mono) {
    const float factor = scale / static_cast<float>(channels);
    if (channels == 1) {
        for (std::size_t frame = 0; frame < frames; ++frame) {
            mono[frame] = finite(static_cast<float>(interleaved[frame])) * factor;
        }
        return;
    }
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const Sample* first = interleaved + frame * static_cast<std::size_t>(channels);
        float sum = 0;
        for (int channel = 0; channel < channels; ++channel) {
            sum += finite(static_cast<float>(first[channel]));
        }
        mono[frame] = sum * factor;
    }
}

std::size_t bytesPerSample(AudioFormat::SampleType type) {
    return type == AudioFormat::SampleType::int16 ? 2 : 4;
}

} // namespace

SampleConverter::SampleConverter() = default;

SampleConverter::~SampleConverter() {
    soxr_delete(m_resampler);
}

bool SampleConverter::useRate(int rate) {
    if (rate == m_rate && (m_resampler || rate == targetRate)) {
        return true;
    }
    soxr_delete(m_resampler);
    m_resampler = nullptr;
    m_rate = rate;
    if (rate == targetRate) {
        return true;
    }
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    m_resampler = soxr_create(rate, targetRate, 1, &error, &io, &quality, &runtime);
    if (error) {
        soxr_delete(m_resampler);
        m_resampler = nullptr;
        return false;
    }
    return true;
}

void SampleConverter::prepare(int expectedRate) {
    if (expectedRate < lowestRate || expectedRate > highestRate) {
        return;
    }
    const bool existed = m_resampler && m_rate == expectedRate;
    if (!useRate(expectedRate) || !m_resampler) {
        return;
    }
    if (!existed) {
        // soxr builds its filters on the first call; do that here rather than on the audio thread.
        std::size_t used = 0;
        std::size_t produced = 0;
        m_mono.fill(0);
        soxr_process(m_resampler, m_mono.data(), m_mono.size(), &used, m_resampled.data(), m_resampled.size(),
                     &produced);
    }
    soxr_clear(m_resampler);
}

bool SampleConverter::convert(const void* data, std::size_t frames, const AudioFormat& format, Sink& sink) {
    if (!data || format.channels < 1 || format.channels > mostChannels || format.sampleRate < lowestRate ||
        format.sampleRate > highestRate) {
        return false;
    }
    if (!useRate(format.sampleRate)) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::size_t frameBytes =
        bytesPerSample(format.sampleType) * static_cast<std::size_t>(format.channels);
    while (frames > 0) {
        const std::size_t count = std::min(frames, chunkFrames);
        switch (format.sampleType) {
        case AudioFormat::SampleType::int16:
            downmix(reinterpret_cast<const qint16*>(bytes), count, format.channels, 1.0f / 32768.0f,
                    m_mono.data());
            break;
        case AudioFormat::SampleType::int32:
            downmix(reinterpret_cast<const qint32*>(bytes), count, format.channels, 1.0f / 2147483648.0f,
                    m_mono.data());
            break;
        case AudioFormat::SampleType::float32:
            downmix(reinterpret_cast<const float*>(bytes), count, format.channels, 1.0f, m_mono.data());
            break;
        }
        if (m_resampler) {
            if (!resample(m_mono.data(), count, sink)) {
                return false;
            }
        } else {
            writeOut(m_mono.data(), count, sink);
        }
        bytes += count * frameBytes;
        frames -= count;
    }
    return true;
}

bool SampleConverter::resample(const float* mono, std::size_t frames, Sink& sink) {
    while (frames > 0) {
        std::size_t used = 0;
        std::size_t produced = 0;
        if (soxr_process(m_resampler, mono, frames, &used, m_resampled.data(), m_resampled.size(),
                         &produced)) {
            return false;
        }
        writeOut(m_resampled.data(), produced, sink);
        if (used == 0 && produced == 0) {
            return false; // no progress: never spin on the audio thread
        }
        mono += used;
        frames -= used;
    }
    return true;
}

void SampleConverter::flush(Sink& sink) {
    if (!m_resampler) {
        return;
    }
    std::size_t produced = 0;
    do {
        produced = 0;
        if (soxr_process(m_resampler, nullptr, 0, nullptr, m_resampled.data(), m_resampled.size(),
                         &produced)) {
            return;
        }
        writeOut(m_resampled.data(), produced, sink);
    } while (produced > 0);
}

void SampleConverter::writeOut(const float* samples, std::size_t count, Sink& sink) {
    for (std::size_t index = 0; index < count; ++index) {
        const float scaled = std::clamp(samples[index] * 32768.0f, -32768.0f, 32767.0f);
        m_converted[index] = static_cast<qint16>(std::lrint(scaled));
    }
    sink.write(m_converted.data(), count);
}

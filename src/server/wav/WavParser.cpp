#include "server/wav/WavParser.h"

#include "server/service/ServiceError.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace WavParser {

namespace {

constexpr std::uint16_t formatPcm = 0x0001;
constexpr std::uint16_t formatFloat = 0x0003;
constexpr std::uint16_t formatExtensible = 0xFFFE;

// Bytes 2..15 of every KSDATAFORMAT_SUBTYPE GUID of the WAVE family; the first two hold the tag.
constexpr std::array<unsigned char, 14> subtypeSuffix{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint16_t readU16(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t readU32(std::string_view bytes, std::size_t at) {
    return static_cast<std::uint32_t>(readU16(bytes, at)) | static_cast<std::uint32_t>(readU16(bytes, at + 2))
                                                                << 16;
}

PTTError malformed(const std::string& reason) {
    return ServiceError::make(HttpStatus::badRequest, "not a usable WAV file: " + reason);
}

PTTError unsupported(const std::string& reason) {
    return ServiceError::make(HttpStatus::unsupportedMediaType, "unsupported WAV format: " + reason);
}

struct FormatChunk {
    std::uint16_t tag = 0;
    int channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
};

Result<FormatChunk> readFormat(std::string_view chunk) {
    if (chunk.size() < 16) {
        return malformed("the fmt chunk is " + std::to_string(chunk.size()) + " bytes, shorter than 16");
    }
    FormatChunk format;
    format.tag = readU16(chunk, 0);
    format.channels = readU16(chunk, 2);
    format.sampleRate = readU32(chunk, 4);
    format.byteRate = readU32(chunk, 8);
    format.blockAlign = readU16(chunk, 12);
    format.bitsPerSample = readU16(chunk, 14);
    if (format.tag == formatExtensible) {
        // cbSize (2), valid bits (2), channel mask (4), sub-format GUID (16).
        if (chunk.size() < 40 || readU16(chunk, 16) < 22) {
            return malformed("the extensible fmt chunk is too short");
        }
        if (std::memcmp(chunk.data() + 26, subtypeSuffix.data(), subtypeSuffix.size()) != 0) {
            return unsupported("the sub-format is not PCM or float");
        }
        format.tag = readU16(chunk, 24);
    }
    return format;
}

Result<SampleFormat> sampleFormat(const FormatChunk& format) {
    if (format.tag == formatPcm) {
        switch (format.bitsPerSample) {
        case 8:
            return SampleFormat::unsigned8;
        case 16:
            return SampleFormat::signed16;
        case 24:
            return SampleFormat::signed24;
        case 32:
            return SampleFormat::signed32;
        default:
            return unsupported(std::to_string(format.bitsPerSample) + "-bit PCM");
        }
    }
    if (format.tag == formatFloat) {
        switch (format.bitsPerSample) {
        case 32:
            return SampleFormat::float32;
        case 64:
            return SampleFormat::float64;
        default:
            return unsupported(std::to_string(format.bitsPerSample) + "-bit float");
        }
    }
    return unsupported("compressed audio (format tag " + std::to_string(format.tag) + "); send linear PCM");
}

} // namespace

Result<PcmAudio> parse(std::string_view bytes) {
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        return ServiceError::make(HttpStatus::badRequest,
                                  "not a WAV file: the body does not start with a RIFF/WAVE header");
    }
    const std::uint64_t declared = std::uint64_t(readU32(bytes, 4)) + 8;
    // Writers may leave out the pad byte of an odd last chunk from the RIFF size; anything else
    // that falls short is a truncated upload.
    if (declared > bytes.size() + 1) {
        return malformed("the RIFF header announces " + std::to_string(declared) +
                         " bytes but the body has " + std::to_string(bytes.size()));
    }
    const std::string_view riff =
        bytes.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(declared, bytes.size())));

    std::optional<FormatChunk> format;
    std::optional<std::string_view> data;
    std::size_t at = 12;
    while (at + 8 <= riff.size()) {
        const std::string_view id = riff.substr(at, 4);
        const std::uint64_t size = readU32(riff, at + 4);
        const std::size_t body = at + 8;
        if (body + size > riff.size()) {
            return malformed("the \"" + std::string(id) + "\" chunk announces " + std::to_string(size) +
                             " bytes but only " + std::to_string(riff.size() - body) + " follow");
        }
        const std::string_view chunk = riff.substr(body, static_cast<std::size_t>(size));
        if (id == "fmt ") {
            if (format) {
                return malformed("more than one fmt chunk");
            }
            auto parsed = readFormat(chunk);
            if (!parsed) {
                return parsed.error();
            }
            format = parsed.value();
        } else if (id == "data") {
            if (!format) {
                return malformed("the data chunk comes before the fmt chunk");
            }
            data = chunk;
            break;
        }
        at = body + static_cast<std::size_t>(size) + (size & 1);
    }
    if (!format) {
        return malformed("no fmt chunk");
    }
    if (!data) {
        return malformed("no data chunk");
    }

    const auto sample = sampleFormat(*format);
    if (!sample) {
        return sample.error();
    }
    if (format->channels < 1 || format->channels > maximumChannels) {
        return unsupported(std::to_string(format->channels) + " channels");
    }
    if (format->sampleRate < minimumSampleRate || format->sampleRate > maximumSampleRate) {
        return unsupported("a sample rate of " + std::to_string(format->sampleRate) + " Hz");
    }
    const int frameBytes = format->channels * bytesPerSample(sample.value());
    if (format->blockAlign != frameBytes) {
        return malformed("the block alignment " + std::to_string(format->blockAlign) + " does not match " +
                         std::to_string(format->channels) + " channels of " +
                         std::to_string(format->bitsPerSample) + " bits");
    }
    if (format->byteRate != format->sampleRate * std::uint32_t(frameBytes)) {
        return malformed("the byte rate " + std::to_string(format->byteRate) +
                         " does not match the sample rate");
    }
    if (data->size() % std::size_t(frameBytes) != 0) {
        return malformed("the data chunk does not hold a whole number of frames");
    }
    return PcmAudio{int(format->sampleRate), format->channels, sample.value(), *data};
}

} // namespace WavParser

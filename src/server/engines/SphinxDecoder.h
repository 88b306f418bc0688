#pragma once

#include "common/Result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

struct ps_decoder_s;
struct cmd_ln_s;

// One pocketsphinx decoder with the en-US acoustic model, language model and dictionary found in
// `modelDirectory` (the layout of the Debian package). About 100 MB each: models are not shared
// between decoders. Not thread-safe; LocalSpeechEngine hands each to one request at a time.
class SphinxDecoder final {
public:
    static Result<std::unique_ptr<SphinxDecoder>> create(const std::string& modelDirectory);
    ~SphinxDecoder();
    SphinxDecoder(const SphinxDecoder&) = delete;
    SphinxDecoder& operator=(const SphinxDecoder&) = delete;

    // The words heard in one whole utterance, lower case, separated by single spaces. Gives up
    // (status 499) without decoding when `cancelled` says so.
    Result<std::string> decode(std::span<const std::int16_t> samples,
                               const std::function<bool()>& cancelled = {});

private:
    SphinxDecoder(cmd_ln_s* config, ps_decoder_s* decoder)
        : m_config(config)
        , m_decoder(decoder) {}

    cmd_ln_s* m_config;
    ps_decoder_s* m_decoder;
};

#pragma once

#include "core/common/Result.h"
#include "server/engines/ExpectedWords.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct ps_decoder_s;
struct cmd_ln_s;
struct ngram_model_s;

// One pocketsphinx decoder with the en-US acoustic model and dictionary found in `modelDirectory`
// (the layout of the Debian package). Its language model is the general one interpolated with the
// dictation model at `dictationModel` (when given), which knows where spoken punctuation and line
// commands fall. About 100 MB each: models are not shared between decoders. Not thread-safe;
// LocalSpeechEngine hands each to one request at a time.
class SphinxDecoder final {
public:
    // Share of the dictation model in the interpolated language model, chosen by the word-error
    // harness in bench/.
    static constexpr float dictationWeight = 0.3F;
    // Share of a request's expected words: enough to make a rare word likely, not so much that
    // every pause turns into one.
    static constexpr float expectedWeight = 0.05F;

    static Result<std::unique_ptr<SphinxDecoder>> create(const std::string& modelDirectory,
                                                         const std::string& dictationModel = {});
    ~SphinxDecoder();
    SphinxDecoder(const SphinxDecoder&) = delete;
    SphinxDecoder& operator=(const SphinxDecoder&) = delete;

    // The words heard in one whole utterance, lower case, separated by single spaces. Gives up
    // (status 499) without decoding when `cancelled` says so.
    Result<std::string> decode(std::span<const std::int16_t> samples,
                               const std::function<bool()>& cancelled = {});

    // Makes `words` likely in the following decodes, until forgetExpected(). Words the language
    // model does not know are left out.
    Result<void> expect(const std::vector<ExpectedWord>& words);
    void forgetExpected();

private:
    SphinxDecoder(cmd_ln_s* config, ps_decoder_s* decoder)
        : m_config(config)
        , m_decoder(decoder) {}

    Result<void> loadLanguageModels(const std::string& general, const std::string& dictation);
    void restoreWeights();

    cmd_ln_s* m_config;
    ps_decoder_s* m_decoder;
    ngram_model_s* m_languageModel = nullptr; // the set the search uses; we hold one reference
    std::vector<std::string> m_modelNames;
    std::vector<float> m_modelWeights;
    bool m_expecting = false;
};

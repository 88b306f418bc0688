#pragma once

#include "core/common/Result.h"
#include "server/engines/Cepstra.h"
#include "server/engines/ExpectedWords.h"
#include "server/engines/HeardWord.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
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

    // The words heard in one whole utterance, lower case, in order, with the silences and noises
    // between them. Gives up (status 499) without decoding when `cancelled` says so.
    Result<std::vector<HeardWord>> decode(std::span<const std::int16_t> samples,
                                          const std::function<bool()>& cancelled = {});
    // The same for `frameCount` frames of a recording's features from `firstFrame` on, decoded as
    // an utterance of their own; the words' frames count from the recording's start.
    Result<std::vector<HeardWord>> decode(const Cepstra& cepstra, std::size_t firstFrame,
                                          std::size_t frameCount,
                                          const std::function<bool()>& cancelled = {});
    // A recording's features, for decoding in pieces on several decoders; not yet normalised.
    Result<Cepstra> cepstra(std::span<const std::int16_t> samples);

    // Makes `words` likely in the following decodes, until forgetExpected(). A word the
    // pronouncing dictionary lacks is added to this decoder's dictionary with a letter-to-sound
    // pronunciation. The decodes without words are never changed by it: the words live in a
    // search and language model set of their own, kept while the next request brings the same
    // words.
    Result<void> expect(const std::vector<ExpectedWord>& words);
    void forgetExpected();

    // Words a decoder's dictionary may gain from requests, so a long-running server's decoders
    // stay bounded in size; further new words are left out.
    static constexpr int maxAddedWords = 4096;

private:
    SphinxDecoder(cmd_ln_s* config, ps_decoder_s* decoder)
        : m_config(config)
        , m_decoder(decoder) {}

    Result<void> loadLanguageModels(const std::string& general, const std::string& dictation);
    Result<void> addToDictionary(const std::vector<std::pair<std::string, std::string>>& pronunciations);
    Result<void> searchWith(const std::vector<ExpectedWord>& words);

    cmd_ln_s* m_config;
    ps_decoder_s* m_decoder;
    ngram_model_s* m_languageModel = nullptr; // the set the search uses; we hold one reference
    std::vector<ngram_model_s*> m_models;     // its members, owned by the set
    std::vector<std::string> m_modelNames;
    std::vector<float> m_modelWeights;
    std::vector<std::string> m_wordsSearched; // the words the words search was built for
    int m_wordsAdded = 0;
    bool m_expecting = false;
};

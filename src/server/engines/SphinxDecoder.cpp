#include "server/engines/SphinxDecoder.h"

#include "server/engines/LetterToSound.h"
#include "server/service/ServiceError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>
#include <sphinxbase/feat.h>
#include <sphinxbase/ngram_model.h>
#include <unistd.h>

namespace {

// ps_init, model loading and the logging switch touch unguarded process-wide state.
std::mutex& creationMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr const char* dictationSearch = "dictation";
constexpr const char* wordsSearch = "words";
constexpr const char* expectedModel = "expected";

// Words the dictation model uses that the pronouncing dictionary lacks.
constexpr std::pair<const char*, const char*> dictationWords[] = {
    {"semicolon", "S EH M IY K OW L AH N"}, {"ellipsis", "IH L IH P S IH S"}, {"paren", "P ER EH N"}};

bool inDictionary(ps_decoder_t* decoder, const std::string& word) {
    char* pronunciation = ps_lookup_word(decoder, word.c_str());
    ckd_free(pronunciation);
    return pronunciation != nullptr;
}

// A unigram model of the expected words, equally likely. sphinxbase reads models from files only.
Result<std::filesystem::path> writeUnigrams(const std::vector<ExpectedWord>& words) {
    std::string path = (std::filesystem::temp_directory_path() / "orlavo-expected-XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not write its word list");
    }
    std::string text =
        "\\data\\\nngram 1=" + std::to_string(words.size() + 2) + "\n\n\\1-grams:\n-99.0 <s>\n";
    char line[32];
    std::snprintf(line, sizeof line, "%.4f ", -std::log10(double(words.size() + 1)));
    text += line + std::string("</s>\n");
    for (const ExpectedWord& word : words) {
        text += line + word.spoken + "\n";
    }
    text += "\n\\end\\\n";
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    if (!written) {
        std::filesystem::remove(path);
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not write its word list");
    }
    return std::filesystem::path(path);
}

} // namespace

Result<std::unique_ptr<SphinxDecoder>> SphinxDecoder::create(const std::string& modelDirectory,
                                                             const std::string& dictationModel) {
    namespace fs = std::filesystem;
    const fs::path directory(modelDirectory);
    const std::string hmm = (directory / "en-us").string();
    const std::string lm = (directory / "en-us.lm.bin").string();
    const std::string dict = (directory / "cmudict-en-us.dict").string();
    std::error_code error;
    for (const std::string& path : {hmm + "/mdef", lm, dict}) {
        if (!fs::is_regular_file(path, error)) {
            return ServiceError::make(HttpStatus::serviceUnavailable,
                                      "the offline recogniser's model is missing: " + path +
                                          " (install pocketsphinx-en-us)");
        }
    }
    if (!dictationModel.empty() && !fs::is_regular_file(dictationModel, error)) {
        return ServiceError::make(HttpStatus::serviceUnavailable,
                                  "the offline recogniser's dictation model is missing: " + dictationModel);
    }

    const std::lock_guard lock(creationMutex());
    err_set_logfp(nullptr);
    std::vector<std::string> arguments = {
        "orlavo-server", "-hmm", hmm, "-dict", dict,
        // Every frame is kept, so a word's frames are the recording's.
        "-remove_silence", "no",
        // Bound the active search (the defaults allow ten times more) so a long or noisy
        // recording cannot run away; on our test speech it recognised as well as the defaults.
        "-maxhmmpf", "3000", "-maxwpf", "10"};
    std::vector<char*> argv;
    argv.reserve(arguments.size());
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), int(argv.size()), argv.data(), FALSE);
    if (!config) {
        return ServiceError::make(HttpStatus::serviceUnavailable,
                                  "the offline recogniser rejected its configuration");
    }
    ps_decoder_t* decoder = ps_init(config);
    if (!decoder) {
        cmd_ln_free_r(config);
        return ServiceError::make(HttpStatus::serviceUnavailable,
                                  "the offline recogniser could not load its model from " + modelDirectory);
    }
    // Whole recordings arrive at once and are normalised by their own mean (Cepstra::normalise),
    // so a result depends neither on what the decoder heard before nor on where a recording was
    // cut in speech. Set here: the model's feature parameters override the command line.
    ps_get_feat(decoder)->cmn = CMN_NONE;
    std::unique_ptr<SphinxDecoder> created(new SphinxDecoder(config, decoder));
    for (const auto& [word, phones] : dictationWords) {
        // No language model is loaded yet, so this changes the dictionary only.
        if (!inDictionary(decoder, word) && ps_add_word(decoder, word, phones, FALSE) < 0) {
            return ServiceError::make(HttpStatus::serviceUnavailable,
                                      std::string("the offline recogniser could not add \"") + word + "\"");
        }
    }
    if (auto loaded = created->loadLanguageModels(lm, dictationModel); !loaded) {
        return loaded.error();
    }
    return created;
}

Result<void> SphinxDecoder::loadLanguageModels(const std::string& general, const std::string& dictation) {
    logmath_t* logmath = ps_get_logmath(m_decoder);
    std::vector<ngram_model_t*> models;
    const auto read = [&](const std::string& path, const char* name, float weight) {
        // Models in one set must share the decoder's log tables; each model takes its own reference.
        ngram_model_t* model = ngram_model_read(m_config, path.c_str(), NGRAM_AUTO, logmath);
        if (!model) {
            return false;
        }
        models.push_back(model);
        m_modelNames.emplace_back(name);
        m_modelWeights.push_back(weight);
        return true;
    };
    const float general_weight = dictation.empty() ? 1.0F : 1.0F - dictationWeight;
    if (!read(general, "general", general_weight) ||
        (!dictation.empty() && !read(dictation, "dictation", dictationWeight))) {
        for (ngram_model_t* model : models) {
            ngram_model_free(model);
        }
        return ServiceError::make(HttpStatus::serviceUnavailable,
                                  "the offline recogniser could not read its language model");
    }
    std::vector<char*> names;
    for (std::string& name : m_modelNames) {
        names.push_back(name.data());
    }
    // The set takes references of its own to the models; ours go whether or not it was made.
    m_languageModel =
        ngram_model_set_init(m_config, models.data(), names.data(),
                             models.size() > 1 ? m_modelWeights.data() : nullptr, int32(models.size()));
    for (ngram_model_t* model : models) {
        ngram_model_free(model);
    }
    if (!m_languageModel) {
        return ServiceError::make(HttpStatus::serviceUnavailable,
                                  "the offline recogniser could not combine its language models");
    }
    m_models = models;
    if (ps_set_lm(m_decoder, dictationSearch, m_languageModel) < 0 ||
        ps_set_search(m_decoder, dictationSearch) < 0) {
        return ServiceError::make(HttpStatus::serviceUnavailable,
                                  "the offline recogniser could not start its search");
    }
    return {};
}

SphinxDecoder::~SphinxDecoder() {
    const std::lock_guard lock(creationMutex());
    ps_free(m_decoder);
    if (m_languageModel) {
        ngram_model_free(m_languageModel);
    }
    cmd_ln_free_r(m_config);
}

Result<Cepstra> SphinxDecoder::cepstra(std::span<const std::int16_t> samples) {
    // Digital silence (exact zeros, as from a noise gate or a synthesiser) has no spectrum to
    // measure and misleads the recogniser badly: it gets a microphone's faintest noise, the same
    // for every recording so that a recording is always heard alike.
    std::vector<std::int16_t> dithered(samples.begin(), samples.end());
    std::uint32_t state = 0x2545F491U;
    for (std::int16_t& sample : dithered) {
        state = state * 1664525U + 1013904223U;
        if (sample == 0) {
            sample = std::int16_t(int((state >> 30) & 1U) - int((state >> 29) & 1U));
        }
    }
    fe_t* frontEnd = ps_get_fe(m_decoder);
    Cepstra result;
    result.width = std::size_t(fe_get_output_size(frontEnd));
    int32 frameCount = 0;
    const int16* remaining = dithered.data();
    std::size_t remainingSamples = dithered.size();
    if (fe_start_utt(frontEnd) < 0 ||
        fe_process_frames(frontEnd, nullptr, &remainingSamples, nullptr, &frameCount, nullptr) < 0) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not analyse this recording");
    }
    // One more for the frame the end of the recording completes.
    result.values.resize((std::size_t(frameCount) + 1) * result.width);
    std::vector<mfcc_t*> rows(std::size_t(frameCount) + 1);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        rows[row] = result.values.data() + row * result.width;
    }
    int32 last = 0;
    if (fe_process_frames(frontEnd, &remaining, &remainingSamples, rows.data(), &frameCount, nullptr) < 0 ||
        fe_end_utt(frontEnd, rows[std::size_t(frameCount)], &last) < 0) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not analyse this recording");
    }
    result.values.resize((std::size_t(frameCount) + std::size_t(last)) * result.width);

    return result;
}

Result<std::vector<HeardWord>> SphinxDecoder::decode(const Cepstra& cepstra, std::size_t firstFrame,
                                                     std::size_t frameCount,
                                                     const std::function<bool()>& cancelled) {
    firstFrame = std::min(firstFrame, cepstra.frames());
    frameCount = std::min(frameCount, cepstra.frames() - firstFrame);
    // A copy of our own: the library takes the rows as writable, and other decoders read the
    // overlapping frames at the same time.
    std::vector<mfcc_t> values(cepstra.values.begin() + std::ptrdiff_t(firstFrame * cepstra.width),
                               cepstra.values.begin() +
                                   std::ptrdiff_t((firstFrame + frameCount) * cepstra.width));
    std::vector<mfcc_t*> rows(frameCount);
    for (std::size_t row = 0; row < frameCount; ++row) {
        rows[row] = values.data() + row * cepstra.width;
    }
    if (ps_start_utt(m_decoder) < 0) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not start an utterance");
    }
    // One call for the whole utterance: decoding in steps would let the search commit early.
    // So the request can only be given up before decoding starts.
    if (cancelled && cancelled()) {
        ps_end_utt(m_decoder);
        return ServiceError::make(HttpStatus::clientClosedRequest,
                                  "the client closed the connection before the answer");
    }
    const int searched = ps_process_cep(m_decoder, rows.data(), int(rows.size()), FALSE, TRUE);
    if (ps_end_utt(m_decoder) < 0 || searched < 0) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser failed on this recording");
    }
    std::vector<HeardWord> words;
    for (ps_seg_t* segment = ps_seg_iter(m_decoder); segment; segment = ps_seg_next(segment)) {
        HeardWord heard;
        heard.word = ps_seg_word(segment);
        // "read(2)": the second pronunciation of "read".
        if (const auto variant = heard.word.find('('); variant != std::string::npos && variant > 0) {
            heard.word.resize(variant);
        }
        ps_seg_frames(segment, &heard.firstFrame, &heard.lastFrame);
        heard.firstFrame += int(firstFrame);
        heard.lastFrame += int(firstFrame);
        words.push_back(std::move(heard));
    }
    return words;
}

Result<std::vector<HeardWord>> SphinxDecoder::decode(std::span<const std::int16_t> samples,
                                                     const std::function<bool()>& cancelled) {
    auto features = cepstra(samples);
    if (!features) {
        return features.error();
    }
    features.value().normalise(0, features->frames());
    return decode(*features, 0, features->frames(), cancelled);
}

Result<void> SphinxDecoder::expect(const std::vector<ExpectedWord>& words) {
    forgetExpected();
    if (words.empty()) {
        return {};
    }
    // Every change to the dictionary, the searches and the language models shares the library's
    // unguarded state with decoder creation and destruction on other threads.
    const std::lock_guard lock(creationMutex());
    std::vector<std::string> spoken;
    for (const ExpectedWord& word : words) {
        spoken.push_back(word.spoken);
    }
    if (spoken == m_wordsSearched) {
        if (ps_set_search(m_decoder, wordsSearch) < 0) {
            return ServiceError::make(HttpStatus::internalError,
                                      "the offline recogniser could not use the expected words");
        }
        m_expecting = true;
        return {};
    }

    std::vector<ExpectedWord> usable;
    std::vector<std::pair<std::string, std::string>> pronunciations;
    for (const ExpectedWord& word : words) {
        const bool known =
            ngram_wid(m_languageModel, word.spoken.c_str()) != ngram_unknown_wid(m_languageModel);
        if (!known && !inDictionary(m_decoder, word.spoken)) {
            const std::string phones = LetterToSound::phones(word.written);
            if (phones.empty() || m_wordsAdded + int(pronunciations.size()) >= maxAddedWords) {
                continue;
            }
            pronunciations.emplace_back(word.spoken, phones);
        }
        usable.push_back(word);
    }
    if (auto added = addToDictionary(pronunciations); !added) {
        return added.error();
    }
    if (usable.empty()) {
        return {};
    }
    if (auto searching = searchWith(usable); !searching) {
        return searching.error();
    }
    m_wordsSearched = std::move(spoken);
    m_expecting = true;
    return {};
}

Result<void>
SphinxDecoder::addToDictionary(const std::vector<std::pair<std::string, std::string>>& pronunciations) {
    if (pronunciations.empty()) {
        return {};
    }
    // ps_add_word also puts the word into the language model of every search, in place, and a
    // set changed that way was left unsafe to free. So the searches go first (the shared set
    // stays ours) and come back built over the larger dictionary, whose new words the general
    // set does not know and so never hears.
    ps_unset_search(m_decoder, wordsSearch);
    ps_unset_search(m_decoder, dictationSearch);
    m_wordsSearched.clear();
    for (const auto& [word, phones] : pronunciations) {
        if (ps_add_word(m_decoder, word.c_str(), phones.c_str(), FALSE) >= 0) {
            ++m_wordsAdded;
        }
    }
    if (ps_set_lm(m_decoder, dictationSearch, m_languageModel) < 0 ||
        ps_set_search(m_decoder, dictationSearch) < 0) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not rebuild its search");
    }
    return {};
}

// A set of its own over the decoder's models and the expected words, in a search of its own: the
// dictation set is never changed, so nothing a request brings can outlive it there.
Result<void> SphinxDecoder::searchWith(const std::vector<ExpectedWord>& words) {
    auto file = writeUnigrams(words);
    if (!file) {
        return file.error();
    }
    ngram_model_t* unigrams =
        ngram_model_read(m_config, file->c_str(), NGRAM_ARPA, ps_get_logmath(m_decoder));
    std::error_code ignored;
    std::filesystem::remove(*file, ignored);
    if (!unigrams) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not read its word list");
    }
    std::vector<ngram_model_t*> models;
    std::vector<char*> names;
    std::vector<float> weights;
    std::string expectedName = expectedModel;
    for (std::size_t i = 0; i < m_models.size(); ++i) {
        models.push_back(m_models[i]);
        names.push_back(m_modelNames[i].data());
        weights.push_back(m_modelWeights[i] * (1.0F - expectedWeight));
    }
    models.push_back(unigrams);
    names.push_back(expectedName.data());
    weights.push_back(expectedWeight);
    // The set takes references of its own to its members, and the search one to the set.
    ngram_model_t* set =
        ngram_model_set_init(m_config, models.data(), names.data(), weights.data(), int32(models.size()));
    ngram_model_free(unigrams);
    if (!set) {
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not combine the expected words");
    }
    const bool searching = ps_set_lm(m_decoder, wordsSearch, set) >= 0;
    ngram_model_free(set);
    if (!searching || ps_set_search(m_decoder, wordsSearch) < 0) {
        m_wordsSearched.clear();
        ps_set_search(m_decoder, dictationSearch);
        return ServiceError::make(HttpStatus::internalError,
                                  "the offline recogniser could not use the expected words");
    }
    return {};
}

void SphinxDecoder::forgetExpected() {
    if (!m_expecting) {
        return;
    }
    m_expecting = false;
    const std::lock_guard lock(creationMutex());
    ps_set_search(m_decoder, dictationSearch);
}

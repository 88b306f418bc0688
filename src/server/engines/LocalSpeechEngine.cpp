#include "server/engines/LocalSpeechEngine.h"

#include "server/engines/ExpectedWords.h"
#include "server/engines/OverlapJoiner.h"
#include "server/engines/SpeechSegmenter.h"
#include "server/engines/SphinxDecoder.h"
#include "server/language/DictationModel.h"
#include "server/service/ServiceError.h"

#include <algorithm>
#include <atomic>
#include <sstream>
#include <unordered_map>

namespace {

constexpr std::size_t samplesPerFrame = AudioClip::sampleRate / HeardWord::framesPerSecond;

// pocketsphinx writes every word in lower case: give the pronoun its capital (the app's text
// pipeline only capitalises the start of sentences) and the user's expected words their spelling.
std::string spellWords(const std::string& words, const std::vector<ExpectedWord>& expected) {
    std::unordered_map<std::string, std::string> spelling;
    for (const ExpectedWord& word : expected) {
        spelling.emplace(word.spoken, word.written);
    }
    std::istringstream in(words);
    std::string result;
    std::string word;
    while (in >> word) {
        if (const auto found = spelling.find(word); found != spelling.end()) {
            word = found->second;
        } else if (word == "i" || word.rfind("i'", 0) == 0) {
            word[0] = 'I';
        }
        if (!result.empty()) {
            result.push_back(' ');
        }
        result += word;
    }
    return result;
}

// The frames [first, end) of piece `i`; the last piece also takes the frame that the recording's
// last samples complete.
std::pair<std::size_t, std::size_t> framesOf(const std::vector<SpeechSegmenter::Piece>& pieces, std::size_t i,
                                             std::size_t frameCount) {
    return {pieces[i].begin / samplesPerFrame,
            i + 1 < pieces.size() ? pieces[i].end / samplesPerFrame : frameCount};
}

// The recording's features, computed once. A piece cut at a pause is normalised by itself, as a
// phrase of its own; pieces cut in speech share their stretch's mean, so that where they overlap
// they hear the same sounds.
Result<Cepstra> normalisedFeatures(SphinxDecoder& decoder, std::span<const std::int16_t> samples,
                                   const std::vector<SpeechSegmenter::Piece>& pieces) {
    auto features = decoder.cepstra(samples);
    if (!features) {
        return features;
    }
    for (std::size_t first = 0; first < pieces.size();) {
        std::size_t last = first;
        while (last + 1 < pieces.size() && pieces[last + 1].cutInSpeech) {
            ++last;
        }
        features.value().normalise(framesOf(pieces, first, features->frames()).first,
                                   framesOf(pieces, last, features->frames()).second);
        first = last + 1;
    }
    return features;
}

// The pieces' words in order, joined by time where a piece was cut in speech; silences and noises
// left out.
Result<std::string> joinPieces(const std::vector<SpeechSegmenter::Piece>& pieces,
                               const std::vector<std::optional<Result<std::vector<HeardWord>>>>& words) {
    std::vector<HeardWord> heard;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (!words[i] || !words[i]->ok()) {
            return words[i]
                       ? words[i]->error()
                       : ServiceError::make(HttpStatus::internalError,
                                            "the offline recogniser left part of the recording undecoded");
        }
        if (pieces[i].cutInSpeech) {
            heard = OverlapJoiner::join(heard, words[i]->value(), int(pieces[i].begin / samplesPerFrame));
        } else {
            heard.insert(heard.end(), words[i]->value().begin(), words[i]->value().end());
        }
    }
    std::string joined;
    for (const HeardWord& word : heard) {
        if (word.isSpeech()) {
            joined += joined.empty() ? "" : " ";
            joined += word.word;
        }
    }
    return joined;
}

} // namespace

Result<std::unique_ptr<LocalSpeechEngine>> LocalSpeechEngine::create(const std::string& modelDirectory,
                                                                     int maxDecoders,
                                                                     std::chrono::milliseconds maxWait) {
    return create(modelDirectory, maxDecoders, DictationModel::locate(), maxWait);
}

Result<std::unique_ptr<LocalSpeechEngine>> LocalSpeechEngine::create(const std::string& modelDirectory,
                                                                     int maxDecoders,
                                                                     const std::string& dictationModel,
                                                                     std::chrono::milliseconds maxWait) {
    auto first = SphinxDecoder::create(modelDirectory, dictationModel);
    if (!first) {
        return first.error();
    }
    return std::unique_ptr<LocalSpeechEngine>(new LocalSpeechEngine(
        modelDirectory, dictationModel, std::max(1, maxDecoders), maxWait, std::move(first).value()));
}

LocalSpeechEngine::LocalSpeechEngine(std::string modelDirectory, std::string dictationModel, int maxDecoders,
                                     std::chrono::milliseconds maxWait, std::unique_ptr<SphinxDecoder> first)
    : m_modelDirectory(std::move(modelDirectory))
    , m_dictationModel(std::move(dictationModel))
    , m_maxDecoders(maxDecoders)
    , m_maxWait(maxWait)
    , m_created(1) {
    m_idle.push_back(std::move(first));
    m_loader = std::thread([this] { loadSpares(); });
}

LocalSpeechEngine::~LocalSpeechEngine() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_loader.join();
}

// Fills the pool in the background, so no decoder is loaded while a user waits.
void LocalSpeechEngine::loadSpares() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_changed.wait(lock, [this] { return m_stopping || (m_created < m_maxDecoders && !m_loadFailure); });
        if (m_stopping) {
            return;
        }
        ++m_created; // reserve the slot, then load outside the lock
        lock.unlock();
        auto created = SphinxDecoder::create(m_modelDirectory, m_dictationModel);
        lock.lock();
        if (created) {
            m_idle.push_back(std::move(created).value());
        } else {
            --m_created;
            m_loadFailure = created.error(); // retrying would fail the same way
        }
        m_changed.notify_all();
    }
}

Result<std::unique_ptr<SphinxDecoder>> LocalSpeechEngine::acquire(const std::function<bool()>& cancelled) {
    std::unique_lock lock(m_mutex);
    // Bounded, since the waiting request holds a worker all the while; a request whose client
    // has gone stops waiting at once.
    const auto until = std::chrono::steady_clock::now() + m_maxWait;
    while (m_idle.empty()) {
        if (m_loadFailure && m_created == 0) {
            return *m_loadFailure;
        }
        if (cancelled && cancelled()) {
            return ServiceError::make(HttpStatus::clientClosedRequest,
                                      "the client closed the connection before the answer");
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) {
            return ServiceError::make(HttpStatus::serviceUnavailable,
                                      "every offline decoder is busy; try again shortly");
        }
        m_changed.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(until - now, std::chrono::milliseconds(100)));
    }
    auto decoder = std::move(m_idle.back());
    m_idle.pop_back();
    return decoder;
}

std::unique_ptr<SphinxDecoder> LocalSpeechEngine::tryAcquire() {
    const std::lock_guard lock(m_mutex);
    if (m_idle.empty()) {
        return nullptr;
    }
    auto decoder = std::move(m_idle.back());
    m_idle.pop_back();
    return decoder;
}

void LocalSpeechEngine::release(std::unique_ptr<SphinxDecoder> decoder) {
    {
        const std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(decoder));
    }
    m_changed.notify_all();
}

Result<Transcript> LocalSpeechEngine::transcribe(const TranscriptionJob& job) {
    const std::vector<std::int16_t>& samples = job.audio.samples;
    const auto pieces = SpeechSegmenter::split(samples, m_maxDecoders);
    const auto expected = ExpectedWords::fromPrompt(job.prompt);

    auto first = acquire(job.cancelled);
    if (!first) {
        return first.error();
    }
    std::vector<std::unique_ptr<SphinxDecoder>> decoders;
    decoders.push_back(std::move(first).value());
    while (decoders.size() < pieces.size()) {
        auto more = tryAcquire();
        if (!more) {
            break;
        }
        decoders.push_back(std::move(more));
    }

    const auto features = normalisedFeatures(*decoders[0], samples, pieces);
    if (!features) {
        for (auto& decoder : decoders) {
            release(std::move(decoder));
        }
        return features.error();
    }
    // A piece cut in speech is decoded on past its cut, and its neighbour from before it, so the
    // word at the cut is heard whole by one of them.
    constexpr auto overlap = std::size_t(OverlapJoiner::overlapSeconds * HeardWord::framesPerSecond);
    const auto frames = [&](std::size_t i) {
        auto [begin, end] = framesOf(pieces, i, features->frames());
        if (pieces[i].cutInSpeech) {
            begin -= std::min(begin, overlap);
        }
        if (i + 1 < pieces.size() && pieces[i + 1].cutInSpeech) {
            end += overlap;
        }
        return std::pair{begin, end};
    };
    std::vector<std::optional<Result<std::vector<HeardWord>>>> words(pieces.size());
    std::mutex failureMutex;
    std::optional<PTTError> failure;
    std::atomic<std::size_t> next{0};
    const auto work = [&](SphinxDecoder& decoder) {
        if (auto expecting = decoder.expect(expected); !expecting) {
            const std::lock_guard lock(failureMutex);
            failure = expecting.error();
            return;
        }
        for (std::size_t i = next++; i < pieces.size(); i = next++) {
            const auto [begin, end] = frames(i);
            // Each piece is its own utterance, so a client that hung up is noticed between pieces.
            words[i] = decoder.decode(*features, begin, end - begin, job.cancelled);
        }
        decoder.forgetExpected();
    };
    {
        std::vector<std::jthread> helpers;
        for (std::size_t i = 1; i < decoders.size(); ++i) {
            helpers.emplace_back(work, std::ref(*decoders[i]));
        }
        work(*decoders[0]);
    }
    for (auto& decoder : decoders) {
        release(std::move(decoder));
    }
    if (failure) {
        return *failure;
    }

    auto joined = joinPieces(pieces, words);
    if (!joined) {
        return joined.error();
    }
    return Transcript{spellWords(*joined, expected), std::string("en")};
}

std::string LocalSpeechEngine::describe() const {
    return "local (pocketsphinx en-US, up to " + std::to_string(m_maxDecoders) + " decoders, models in " +
           m_modelDirectory + ", " +
           (m_dictationModel.empty() ? "no dictation model" : "dictation model " + m_dictationModel) + ")";
}

int LocalSpeechEngine::decodersLoaded() const {
    const std::lock_guard lock(m_mutex);
    return m_created;
}

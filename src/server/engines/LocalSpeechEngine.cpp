#include "server/engines/LocalSpeechEngine.h"

#include "server/engines/ExpectedWords.h"
#include "server/engines/SpeechSegmenter.h"
#include "server/language/DictationModel.h"
#include "server/service/ServiceError.h"

#include <algorithm>
#include <atomic>
#include <sstream>
#include <unordered_map>

namespace {

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

    std::vector<std::optional<Result<std::string>>> words(pieces.size());
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
            const auto& piece = pieces[i];
            // Each piece is its own utterance, so a client that hung up is noticed between pieces.
            words[i] = decoder.decode(std::span(samples).subspan(piece.begin, piece.end - piece.begin),
                                      job.cancelled);
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

    std::string joined;
    for (const auto& piece : words) {
        if (!piece || !piece->ok()) {
            return piece ? piece->error()
                         : ServiceError::make(HttpStatus::internalError,
                                              "the offline recogniser left part of the recording undecoded");
        }
        if (!piece->value().empty()) {
            joined += joined.empty() ? "" : " ";
            joined += piece->value();
        }
    }
    return Transcript{spellWords(joined, expected), std::string("en")};
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

#include "LocalSpeechEngine.h"

#include "service/ServiceError.h"

#include <sstream>

namespace {

// pocketsphinx writes the pronoun in lower case; the app's text pipeline only capitalises the
// start of sentences.
std::string capitaliseFirstPerson(const std::string& words) {
    std::istringstream in(words);
    std::string result;
    std::string word;
    while (in >> word) {
        if (word == "i" || word.rfind("i'", 0) == 0) {
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
    auto first = SphinxDecoder::create(modelDirectory);
    if (!first) {
        return first.error();
    }
    return std::unique_ptr<LocalSpeechEngine>(
        new LocalSpeechEngine(modelDirectory, std::max(1, maxDecoders), maxWait, std::move(first).value()));
}

LocalSpeechEngine::LocalSpeechEngine(std::string modelDirectory, int maxDecoders,
                                     std::chrono::milliseconds maxWait, std::unique_ptr<SphinxDecoder> first)
    : m_modelDirectory(std::move(modelDirectory))
    , m_maxDecoders(maxDecoders)
    , m_maxWait(maxWait)
    , m_created(1) {
    m_idle.push_back(std::move(first));
}

Result<std::unique_ptr<SphinxDecoder>> LocalSpeechEngine::acquire(const std::function<bool()>& cancelled) {
    std::unique_lock lock(m_mutex);
    // Bounded, since the waiting request holds a worker all the while; a request whose client
    // has gone stops waiting at once.
    const auto until = std::chrono::steady_clock::now() + m_maxWait;
    while (m_idle.empty() && m_created >= m_maxDecoders) {
        if (cancelled && cancelled()) {
            return ServiceError::make(499, "the client closed the connection before the answer");
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until) {
            return ServiceError::make(503, "every offline decoder is busy; try again shortly");
        }
        m_released.wait_for(
            lock, std::min<std::chrono::steady_clock::duration>(until - now, std::chrono::milliseconds(100)));
    }
    if (!m_idle.empty()) {
        auto decoder = std::move(m_idle.back());
        m_idle.pop_back();
        return decoder;
    }
    ++m_created; // reserve the slot, then load outside the lock
    lock.unlock();
    auto created = SphinxDecoder::create(m_modelDirectory);
    if (!created) {
        lock.lock();
        --m_created;
        m_released.notify_one();
    }
    return created;
}

void LocalSpeechEngine::release(std::unique_ptr<SphinxDecoder> decoder) {
    {
        const std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(decoder));
    }
    m_released.notify_one();
}

Result<Transcript> LocalSpeechEngine::transcribe(const TranscriptionJob& job) {
    auto decoder = acquire(job.cancelled);
    if (!decoder) {
        return decoder.error();
    }
    auto words = decoder.value()->decode(job.audio.samples, job.cancelled);
    release(std::move(decoder).value());
    if (!words) {
        return words.error();
    }
    return Transcript{capitaliseFirstPerson(words.value()), std::string("en")};
}

std::string LocalSpeechEngine::describe() const {
    return "local (pocketsphinx en-US, up to " + std::to_string(m_maxDecoders) + " decoders, models in " +
           m_modelDirectory + ")";
}

int LocalSpeechEngine::decodersLoaded() const {
    const std::lock_guard lock(m_mutex);
    return m_created;
}

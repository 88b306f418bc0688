#pragma once

#include "SphinxDecoder.h"
#include "TranscriptionEngine.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The offline recogniser: a pool of pocketsphinx decoders, English only. The first decoder is
// loaded at construction (so a missing model is found at start, not on the first dictation);
// more are created on demand up to `maxDecoders`, since each one costs about 100 MB and more
// decoders than cores only run slower. Requests beyond that wait for a free decoder.
class LocalSpeechEngine final : public TranscriptionEngine {
public:
    // A request waits at most `maxWait` for a free decoder, then is answered 503.
    static Result<std::unique_ptr<LocalSpeechEngine>>
    create(const std::string& modelDirectory, int maxDecoders,
           std::chrono::milliseconds maxWait = std::chrono::seconds(45));
    LocalSpeechEngine(const LocalSpeechEngine&) = delete;
    LocalSpeechEngine& operator=(const LocalSpeechEngine&) = delete;

    Result<Transcript> transcribe(const TranscriptionJob& job) override;
    std::string describe() const override;

    int decodersLoaded() const;

private:
    LocalSpeechEngine(std::string modelDirectory, int maxDecoders, std::chrono::milliseconds maxWait,
                      std::unique_ptr<SphinxDecoder> first);

    Result<std::unique_ptr<SphinxDecoder>> acquire(const std::function<bool()>& cancelled);
    void release(std::unique_ptr<SphinxDecoder> decoder);

    const std::string m_modelDirectory;
    const int m_maxDecoders;
    const std::chrono::milliseconds m_maxWait;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::vector<std::unique_ptr<SphinxDecoder>> m_idle;
    int m_created = 0;
};

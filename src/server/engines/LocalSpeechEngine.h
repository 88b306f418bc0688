#pragma once

#include "SphinxDecoder.h"
#include "TranscriptionEngine.h"

#include <condition_variable>
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
    static Result<std::unique_ptr<LocalSpeechEngine>> create(const std::string& modelDirectory,
                                                             int maxDecoders);
    LocalSpeechEngine(const LocalSpeechEngine&) = delete;
    LocalSpeechEngine& operator=(const LocalSpeechEngine&) = delete;

    Result<Transcript> transcribe(const TranscriptionJob& job) override;
    std::string describe() const override;

    int decodersLoaded() const;

private:
    LocalSpeechEngine(std::string modelDirectory, int maxDecoders, std::unique_ptr<SphinxDecoder> first);

    Result<std::unique_ptr<SphinxDecoder>> acquire();
    void release(std::unique_ptr<SphinxDecoder> decoder);

    const std::string m_modelDirectory;
    const int m_maxDecoders;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::vector<std::unique_ptr<SphinxDecoder>> m_idle;
    int m_created = 0;
};

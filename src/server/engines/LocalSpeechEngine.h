#pragma once

#include "server/engines/SphinxDecoder.h"
#include "server/engines/TranscriptionEngine.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The offline recogniser: a pool of pocketsphinx decoders, English only. The first decoder is
// loaded at construction (so a missing model is found at start, not on the first dictation); the
// rest, up to `maxDecoders`, load in the background so none is loaded while a user waits. Each
// costs about 100 MB, and more decoders than cores only run slower.
//
// A recording is cut at its pauses and the pieces are decoded on every idle decoder at once, so
// one dictation uses the whole machine; concurrent requests share the decoders.
class LocalSpeechEngine final : public TranscriptionEngine {
public:
    static constexpr std::chrono::milliseconds defaultMaxWait = std::chrono::seconds(45);

    // `dictationModel` empty: the general language model alone. A request waits at most `maxWait`
    // for a free decoder, then is answered 503.
    static Result<std::unique_ptr<LocalSpeechEngine>>
    create(const std::string& modelDirectory, int maxDecoders, const std::string& dictationModel,
           std::chrono::milliseconds maxWait = defaultMaxWait);
    // With the dictation model installed beside the server, when there is one.
    static Result<std::unique_ptr<LocalSpeechEngine>>
    create(const std::string& modelDirectory, int maxDecoders,
           std::chrono::milliseconds maxWait = defaultMaxWait);
    ~LocalSpeechEngine() override;
    LocalSpeechEngine(const LocalSpeechEngine&) = delete;
    LocalSpeechEngine& operator=(const LocalSpeechEngine&) = delete;

    Result<Transcript> transcribe(const TranscriptionJob& job) override;
    std::string describe() const override;

    int decodersLoaded() const;

private:
    LocalSpeechEngine(std::string modelDirectory, std::string dictationModel, int maxDecoders,
                      std::chrono::milliseconds maxWait, std::unique_ptr<SphinxDecoder> first);

    Result<std::unique_ptr<SphinxDecoder>> acquire(const std::function<bool()>& cancelled);
    std::unique_ptr<SphinxDecoder> tryAcquire();
    void release(std::unique_ptr<SphinxDecoder> decoder);
    void loadSpares();

    const std::string m_modelDirectory;
    const std::string m_dictationModel;
    const int m_maxDecoders;
    const std::chrono::milliseconds m_maxWait;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<SphinxDecoder>> m_idle;
    int m_created = 0; // decoders alive, idle or in use
    std::optional<PTTError> m_loadFailure;
    bool m_stopping = false;
    std::thread m_loader;
};

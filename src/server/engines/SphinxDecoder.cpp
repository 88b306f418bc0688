#include "SphinxDecoder.h"

#include "service/ServiceError.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <vector>

namespace {

// ps_init and the logging switch touch unguarded process-wide state.
std::mutex& creationMutex() {
    static std::mutex mutex;
    return mutex;
}

} // namespace

Result<std::unique_ptr<SphinxDecoder>> SphinxDecoder::create(const std::string& modelDirectory) {
    namespace fs = std::filesystem;
    const fs::path directory(modelDirectory);
    const std::string hmm = (directory / "en-us").string();
    const std::string lm = (directory / "en-us.lm.bin").string();
    const std::string dict = (directory / "cmudict-en-us.dict").string();
    std::error_code error;
    for (const std::string& path : {hmm + "/mdef", lm, dict}) {
        if (!fs::is_regular_file(path, error)) {
            return ServiceError::make(503, "the offline recogniser's model is missing: " + path +
                                               " (install pocketsphinx-en-us)");
        }
    }

    const std::lock_guard lock(creationMutex());
    err_set_logfp(nullptr);
    std::vector<std::string> arguments = {
        "orlavo-server", "-hmm", hmm, "-lm", lm, "-dict", dict,
        // Whole recordings arrive at once: normalise over the utterance rather than carrying the
        // running estimate from one request to the next, so a result does not depend on what the
        // decoder heard before.
        "-cmn", "batch",
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
        return ServiceError::make(503, "the offline recogniser rejected its configuration");
    }
    ps_decoder_t* decoder = ps_init(config);
    if (!decoder) {
        cmd_ln_free_r(config);
        return ServiceError::make(503,
                                  "the offline recogniser could not load its model from " + modelDirectory);
    }
    return std::unique_ptr<SphinxDecoder>(new SphinxDecoder(config, decoder));
}

SphinxDecoder::~SphinxDecoder() {
    const std::lock_guard lock(creationMutex());
    ps_free(m_decoder);
    cmd_ln_free_r(m_config);
}

Result<std::string> SphinxDecoder::decode(std::span<const std::int16_t> samples,
                                          const std::function<bool()>& cancelled) {
    if (ps_start_utt(m_decoder) < 0) {
        return ServiceError::make(500, "the offline recogniser could not start an utterance");
    }
    // One call for the whole utterance: batch normalisation needs all of it, and feeding pieces
    // switches pocketsphinx to its live estimate, which recognises markedly worse. So the request
    // can only be given up before decoding starts.
    if (cancelled && cancelled()) {
        ps_end_utt(m_decoder);
        return ServiceError::make(499, "the client closed the connection before the answer");
    }
    const int searched = ps_process_raw(m_decoder, samples.data(), samples.size(), FALSE, TRUE);
    if (ps_end_utt(m_decoder) < 0 || searched < 0) {
        return ServiceError::make(500, "the offline recogniser failed on this recording");
    }
    int32 score = 0;
    const char* hypothesis = ps_get_hyp(m_decoder, &score);
    return std::string(hypothesis ? hypothesis : "");
}

#pragma once

#include "core/common/Result.h"
#include "server/engines/Transcript.h"
#include "server/engines/TranscriptionJob.h"

#include <string>

// A recogniser. Implementations are called from many request threads at once. Failures are
// service errors (see ServiceError): their code is the HTTP status to answer.
class TranscriptionEngine {
public:
    virtual ~TranscriptionEngine() = default;

    virtual Result<Transcript> transcribe(const TranscriptionJob& job) = 0;
    // A short description for logs and --check.
    virtual std::string describe() const = 0;
};

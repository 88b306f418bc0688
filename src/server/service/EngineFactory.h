#pragma once

#include "core/common/Result.h"
#include "server/config/ServerConfig.h"
#include "server/service/ServiceEngines.h"

// Makes the engines a configuration asks for.
namespace EngineFactory {

// `reusableLocal`: an offline recogniser already loaded with the same model settings, taken
// instead of loading another (loading takes a while and much memory per decoder).
Result<ServiceEngines> build(const ServerConfig& config,
                             std::shared_ptr<TranscriptionEngine> reusableLocal = nullptr);

// Whether the offline recognisers of the two configurations are the same.
bool sameLocalEngine(const ServerConfig& a, const ServerConfig& b);

} // namespace EngineFactory

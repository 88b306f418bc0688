#pragma once

#include "core/common/Result.h"
#include "server/config/ServerConfig.h"
#include "server/service/LiveEngines.h"

#include <QString>

#include <functional>
#include <mutex>
#include <string>

// Applies server.json again while the server runs: its engine settings (engine, upstream, models,
// offline recogniser) take effect for the requests that start afterwards. The listen address, the
// token and the limits are read at start only. A file that cannot be read, is refused or names an
// engine that cannot start changes nothing; the error (status 422) says why and what still answers.
class ServiceReloader final {
public:
    using Log = std::function<void(const std::string& line)>;

    ServiceReloader(QString configPath, ServerConfig::Environment environment, ServerConfig active,
                    LiveEngines& engines, Log log);
    ServiceReloader(const ServiceReloader&) = delete;
    ServiceReloader& operator=(const ServiceReloader&) = delete;

    Result<void> reload();

private:
    PTTError refusal(const QString& reason) const;

    const QString m_configPath;
    const ServerConfig::Environment m_environment;
    LiveEngines& m_engines;
    const Log m_log;
    std::mutex m_mutex; // one reload at a time; guards m_active
    ServerConfig m_active;
};

#include "core/backend/ServiceDescription.h"

#include "core/backend/BackendUrl.h"

namespace ServiceDescription {

QString text(const PTTHealthResponse& health, const QUrl& baseUrl) {
    QString engine;
    if (health.engine == QLatin1String("local")) {
        engine = QStringLiteral("Offline recogniser");
    } else if (health.engine == QLatin1String("openai")) {
        engine = health.upstreamHost && !health.upstreamHost->isEmpty()
                     ? QStringLiteral("OpenAI-compatible service at %1").arg(*health.upstreamHost)
                     : QStringLiteral("OpenAI-compatible service");
    }
    if (!BackendUrl::isLoopback(baseUrl)) {
        const QString service = QStringLiteral("Service at %1").arg(baseUrl.host());
        return engine.isEmpty() ? service : service + QStringLiteral(" · ") + engine;
    }
    if (engine.isEmpty()) {
        // A server that does not name its engine.
        return health.groqConfigured
                   ? QStringLiteral("Online recogniser, reached through the service on this computer")
                   : QStringLiteral("Offline recogniser on this computer");
    }
    return health.engine == QLatin1String("local")
               ? QStringLiteral("Offline recogniser on this computer")
               : engine + QStringLiteral(", through the service on this computer");
}

} // namespace ServiceDescription

#include "core/backend/UpstreamAddress.h"

#include <QUrl>

namespace UpstreamAddress {

QString host(const QString& url) {
    return QUrl(url, QUrl::StrictMode).host();
}

bool isLoopbackHost(const QString& host) {
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           host == QLatin1String("::1") || host.startsWith(QLatin1String("127."));
}

std::optional<QString> problem(const QString& url, bool withKey) {
    const bool https = url.startsWith(QLatin1String("https://"));
    if (!https && !url.startsWith(QLatin1String("http://"))) {
        return QStringLiteral("the upstream URL must start with http:// or https://");
    }
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty()) {
        return QStringLiteral("the upstream URL is not a valid web address");
    }
    if (withKey && !https && !isLoopbackHost(parsed.host())) {
        return QStringLiteral("the upstream key would travel unencrypted to %1: use an https:// upstream URL")
            .arg(parsed.host());
    }
    return std::nullopt;
}

} // namespace UpstreamAddress

#include "core/backend/BackendUrl.h"

#include <QHostAddress>

namespace BackendUrl {

std::optional<QUrl> join(const QString& baseURL, const QString& path) {
    // StrictMode refuses what a lenient parse would silently repair (spaces, stray characters),
    // so a mistyped base URL fails before anything is sent.
    const QUrl url(baseURL + path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return std::nullopt;
    }
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return std::nullopt;
    }
    return url;
}

bool isLoopback(const QUrl& url) {
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return address == QHostAddress(QHostAddress::LocalHost) ||
           address == QHostAddress(QHostAddress::LocalHostIPv6);
}

} // namespace BackendUrl

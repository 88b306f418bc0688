#include "core/update/UpdateFeed.h"

#include "core/update/UpdateSignature.h"

#include <QHostAddress>
#include <QtGlobal>

namespace {

bool isLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool isSecureEnough(const QUrl& url) {
    const QString scheme = url.scheme();
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && isLoopbackHost(url.host()));
}

// The host exactly as written in the URL text. QUrl lower-cases and decodes host names, which
// would let "Updates.Example.com" or a percent-encoded host pass as the allowed one.
QString hostAsWritten(const QString& url) {
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd < 0) {
        return {};
    }
    const qsizetype start = schemeEnd + 3;
    qsizetype end = start;
    while (end < url.size() && url[end] != QLatin1Char('/') && url[end] != QLatin1Char('?') &&
           url[end] != QLatin1Char('#')) {
        ++end;
    }
    QStringView authority = QStringView(url).mid(start, end - start);
    if (const qsizetype at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        authority = authority.mid(at + 1);
    }
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        return close < 0 ? QString() : authority.mid(1, close - 1).toString();
    }
    if (const qsizetype colon = authority.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        authority = authority.left(colon);
    }
    return authority.toString();
}

} // namespace

UpdateFeed UpdateFeed::forHost(const QString& host) {
    if (host.isEmpty()) {
        return {};
    }
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(host);
    url.setPath(feedPath);
    return UpdateFeed{url, host, UpdateSignature::compiledPublicKey()};
}

QString UpdateFeed::compiledHost() {
    return QStringLiteral(ORLAVO_DEFAULT_UPDATE_HOST);
}

UpdateFeed UpdateFeed::fromEnvironment() {
    const QString host = qEnvironmentVariable("ORLAVO_UPDATE_HOST");
    const QString feedURL = qEnvironmentVariable("ORLAVO_UPDATE_FEED_URL");
    if (!feedURL.isEmpty()) {
        const QUrl url(feedURL, QUrl::StrictMode);
        return UpdateFeed{url, host.isEmpty() ? url.host() : host, UpdateSignature::compiledPublicKey()};
    }
    return forHost(host.isEmpty() ? compiledHost() : host);
}

bool UpdateFeed::isConfigured() const {
    return feedURL.isValid() && !feedURL.host().isEmpty() && !allowedDownloadHost.isEmpty() &&
           isSecureEnough(feedURL);
}

QUrl UpdateFeed::signatureURL() const {
    QUrl url = feedURL;
    url.setPath(url.path() + QStringLiteral(".sig"));
    return url;
}

UpdateFeed::DownloadCheck UpdateFeed::checkDownloadURL(const QString& url) const {
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty() || allowedDownloadHost.isEmpty() ||
        parsed.host() != allowedDownloadHost || hostAsWritten(url) != allowedDownloadHost) {
        return DownloadCheck::wrongHost;
    }
    return isSecureEnough(parsed) ? DownloadCheck::accepted : DownloadCheck::insecure;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Where the version feed is read and from which host a package is accepted. Both are deployment
// settings: the host compiled in (CMake cache variable ORLAVO_UPDATE_HOST, empty by default) or,
// overriding it, the environment:
//   ORLAVO_UPDATE_HOST      the update host; the feed is https://<host>/api/orlavo/updates/latest.json
//   ORLAVO_UPDATE_FEED_URL  a full feed URL (for tests and staging); the allowed download host is
//                           ORLAVO_UPDATE_HOST when set, otherwise the feed's own host
// The key that must have signed the feed is always the one built in (UpdateSignature).
struct UpdateFeed {
    static inline const QString feedPath = QStringLiteral("/api/orlavo/updates/latest.json");

    QUrl feedURL;
    QString allowedDownloadHost;
    // The raw Ed25519 public key the feed's signature is checked against.
    QByteArray publicKey = {};

    enum class DownloadCheck { accepted, wrongHost, insecure };

    static UpdateFeed forHost(const QString& host);
    static UpdateFeed fromEnvironment();
    // The host compiled into this build; empty when none.
    static QString compiledHost();

    // Only a feed that can be read safely counts: https, or plain http to this machine. A build
    // without a public key still checks, and refuses every feed it cannot verify.
    bool isConfigured() const;

    // Where the feed's detached signature is read: the feed URL with ".sig" appended to its path.
    QUrl signatureURL() const;

    // A package is accepted only from exactly `allowedDownloadHost` (letter case and all, no
    // subdomain) and only over https, except plain http from a loopback host.
    DownloadCheck checkDownloadURL(const QString& url) const;
};

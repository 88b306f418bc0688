#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class KeychainService;

// Which credential a request carries.
namespace BackendToken {

// The API key when it reads as non-empty text; otherwise the backend token when it reads (even
// empty); otherwise none.
std::optional<QString> fromCredentials(const KeychainService& keychain);

// The token orlavo-server writes on its first start: the file's first line, trimmed. Absent when
// the file is missing, unreadable, oversized or blank.
std::optional<QString> readServerTokenFile(const QString& path);

// The file beside the token file in which orlavo-server writes the address it serves
// ("127.0.0.1:27321") each time it starts.
QString serverAddressFile(const QString& tokenFile);

// Whether the loopback `url` reaches the server that wrote `addressFile`: the same port, on an
// address that loopback connections reach. False when the file is missing or unreadable, so the
// token never goes to some other program on another loopback port.
bool servesUrl(const QString& addressFile, const QUrl& url);

} // namespace BackendToken

#pragma once

#include <QString>

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

} // namespace BackendToken

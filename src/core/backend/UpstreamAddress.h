#pragma once

#include <QString>

#include <optional>

// The rules an OpenAI-compatible service address must meet, shared by orlavo-server (which reads
// server.json) and the settings window (which writes it), so both refuse the same input.
namespace UpstreamAddress {

// The host of an http(s) URL, without credentials, port or brackets; empty when it has none.
QString host(const QString& url);

// localhost, ::1 and 127.x.x.x: traffic that never leaves this machine.
bool isLoopbackHost(const QString& host);

// Why `url` cannot be used as the service's base URL ("the upstream URL must start with ..."),
// or nothing. With `withKey`, plain http is refused unless the host is this machine: the key
// would cross the network unencrypted.
std::optional<QString> problem(const QString& url, bool withKey);

} // namespace UpstreamAddress

#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace BackendUrl {

inline const QString healthPath = QStringLiteral("/v1/ptt/health");
inline const QString transcribePath = QStringLiteral("/v1/ptt/transcribe");
inline const QString editPath = QStringLiteral("/v1/ptt/edit");
// orlavo-server only: reads server.json again and answers as the health check does.
inline const QString reloadPath = QStringLiteral("/v1/ptt/reload");

// The base URL and the path joined as plain text (a base ending in "/" gives a double slash).
// Absent when the result is not an absolute http or https URL with a host.
std::optional<QUrl> join(const QString& baseURL, const QString& path);

// 127.0.0.1, ::1 and localhost: the service of this machine, which may read our token file.
bool isLoopback(const QUrl& url);

} // namespace BackendUrl

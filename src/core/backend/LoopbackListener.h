#pragma once

#include <QString>
#include <QUrl>

#include <optional>
#include <sys/types.h>

// On this machine any user can listen on a free loopback port, so "the server at 127.0.0.1" may
// be another user's program waiting for our token and recordings. The kernel's socket tables
// say whose each listening socket is.
namespace LoopbackListener {

// Why a request to `url` must not be sent: a socket that listens on its loopback port belongs
// to a user other than `uid`. Nothing when the URL is not loopback, when every such socket is
// the user's, or when none listens (the connection will be refused anyway). `tables` holds the
// kernel's "tcp" and "tcp6" files.
std::optional<QString> foreignOwner(const QUrl& url, uid_t uid,
                                    const QString& tables = QStringLiteral("/proc/net"));

} // namespace LoopbackListener

#pragma once

#include <QString>

// The error domains of the system. Platform errors keep a domain of their own so that callers can
// tell a transport failure from an answer of the service.
namespace ErrorDomain {

inline const QString pipeline = QStringLiteral("Kestrov.PTT");
inline const QString audio = QStringLiteral("Kestrov.Audio");
inline const QString backend = QStringLiteral("Kestrov.Backend");
inline const QString database = QStringLiteral("Kestrov.Database");
inline const QString update = QStringLiteral("Kestrov.Update");

// Stands where the URL-loading domain of other network stacks stands: transport failures, time-outs,
// bad URLs. Codes follow that convention (-1001 timed out, -1004 cannot connect, ...).
inline const QString network = QStringLiteral("Kestrov.Network");

// Pass-through platform errors.
inline const QString file = QStringLiteral("Kestrov.File");
inline const QString json = QStringLiteral("Kestrov.JSON");
inline const QString platform = QStringLiteral("Kestrov.Platform");

} // namespace ErrorDomain

#include "core/backend/LoopbackListener.h"

#include "core/backend/BackendUrl.h"

#include <QFile>
#include <QList>

namespace LoopbackListener {

namespace {

constexpr char listenState[] = "0A";

// Whether a local address of the table (hex, in the kernel's byte order) can take connections to
// a loopback address: it is loopback itself or the wildcard.
bool reachableFromLoopback(const QByteArray& hex) {
    if (hex.size() == 8) {
        return hex == "00000000" || hex.endsWith("7F"); // 127.x.x.x, stored little-endian
    }
    if (hex.size() == 32) {
        static const QByteArray any(32, '0');
        return hex == any || hex == "00000000000000000000000001000000" ||          // ::1
               (hex.startsWith("0000000000000000FFFF0000") && hex.endsWith("7F")); // ::ffff:127.x
    }
    return false;
}

} // namespace

std::optional<QString> foreignOwner(const QUrl& url, uid_t uid, const QString& tables) {
    if (!BackendUrl::isLoopback(url)) {
        return std::nullopt;
    }
    const int port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
    for (const char* table : {"tcp", "tcp6"}) {
        QFile file(tables + QLatin1Char('/') + QLatin1String(table));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        file.readLine(); // the column names
        // "sl local_address rem_address st tx:rx tr:when retrnsmt uid ..."
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            if (fields.size() < 8 || fields[3] != listenState) {
                continue;
            }
            const QList<QByteArray> local = fields[1].split(':');
            bool portOk = false;
            bool uidOk = false;
            const uint owner = fields[7].toUInt(&uidOk);
            if (local.size() != 2 || local[1].toInt(&portOk, 16) != port || !portOk || !uidOk ||
                !reachableFromLoopback(local[0].toUpper())) {
                continue;
            }
            if (owner != uid) {
                // No address or number in the text: the retry rule reads status codes in it.
                return QStringLiteral("The server at this address belongs to another user of this computer. "
                                      "Orlavo sends your recordings and token only to a server you run: "
                                      "start orlavo-server yourself or choose another address.");
            }
        }
    }
    return std::nullopt;
}

} // namespace LoopbackListener

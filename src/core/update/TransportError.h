#pragma once

#include "common/PTTError.h"

#include <QNetworkReply>

// A failed transfer as an error of the network domain, with the codes and descriptions the rest of
// the system expects (-1001 timed out, -1004 cannot connect, ...). The update requests are only
// ever cancelled by their transfer time-out, so a cancelled reply reads as a time-out.
PTTError transportError(QNetworkReply::NetworkError error, const QString& qtDescription);

#include "core/common/PTTError.h"

QString PTTError::toString() const {
    return domain + QLatin1Char(' ') + QString::number(code) + QStringLiteral(": ") + description;
}

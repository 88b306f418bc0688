#include "core/update/VersionComparison.h"

#include <QList>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

// A piece counts only when it is a whole decimal integer with an optional sign; anything else,
// including a value that does not fit 64 bits, is not a number.
std::optional<qint64> wholeNumber(QStringView piece) {
    qsizetype index = 0;
    bool negative = false;
    if (piece.startsWith(QLatin1Char('+')) || piece.startsWith(QLatin1Char('-'))) {
        negative = piece.front() == QLatin1Char('-');
        index = 1;
    }
    if (index == piece.size()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (; index < piece.size(); ++index) {
        const char16_t c = piece[index].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        const int digit = c - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

QList<qint64> numericPieces(const QString& version) {
    QList<qint64> numbers;
    for (const QStringView piece : QStringView(version).split(QLatin1Char('.'), Qt::SkipEmptyParts)) {
        if (const auto number = wholeNumber(piece)) {
            numbers.append(*number);
        }
    }
    return numbers;
}

} // namespace

bool isNewerVersion(const QString& a, const QString& b) {
    const QList<qint64> left = numericPieces(a);
    const QList<qint64> right = numericPieces(b);
    const qsizetype length = std::max(left.size(), right.size());
    for (qsizetype i = 0; i < length; ++i) {
        const qint64 l = i < left.size() ? left[i] : 0;
        const qint64 r = i < right.size() ? right[i] : 0;
        if (l != r) {
            return l > r;
        }
    }
    return false;
}

#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// A table-driven text form for the option enumerations: each enumeration specialises EnumTraits
// with its cases in picker order, and these helpers read the table.
template <typename E>
struct EnumCase {
    E value;
    const char* rawValue;    // stored and sent form
    const char* displayName; // UTF-8
    const char* description; // UTF-8, may be empty
};

template <typename E>
struct EnumTraits;

template <typename E>
const EnumCase<E>& enumCase(E value) {
    for (const auto& entry : EnumTraits<E>::cases) {
        if (entry.value == value) {
            return entry;
        }
    }
    return EnumTraits<E>::cases.front();
}

template <typename E>
QString rawValue(E value) {
    return QString::fromUtf8(enumCase(value).rawValue);
}

template <typename E>
QString displayName(E value) {
    return QString::fromUtf8(enumCase(value).displayName);
}

template <typename E>
QString caseDescription(E value) {
    return QString::fromUtf8(enumCase(value).description);
}

template <typename E>
std::optional<E> fromRawValue(QStringView raw) {
    for (const auto& entry : EnumTraits<E>::cases) {
        if (raw == QLatin1String(entry.rawValue)) {
            return entry.value;
        }
    }
    return std::nullopt;
}

template <typename E>
std::vector<E> allCases() {
    std::vector<E> values;
    values.reserve(EnumTraits<E>::cases.size());
    for (const auto& entry : EnumTraits<E>::cases) {
        values.push_back(entry.value);
    }
    return values;
}

#include "core/text/TextCharacters.h"

#include <unicode/uchar.h>

namespace TextCharacters {

bool isWordCharacter(char32_t codePoint) {
    const auto character = static_cast<UChar32>(codePoint);
    if (u_hasBinaryProperty(character, UCHAR_ALPHABETIC)) {
        return true;
    }
    const int32_t category = U_GET_GC_MASK(character);
    return (category & (U_GC_M_MASK | U_GC_ND_MASK | U_GC_PC_MASK)) != 0 || codePoint == 0x200C ||
           codePoint == 0x200D;
}

char32_t codePointAt(const QString& text, qsizetype index, qsizetype* length) {
    const QChar unit = text.at(index);
    if (unit.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate()) {
        if (length) {
            *length = 2;
        }
        return QChar::surrogateToUcs4(unit, text.at(index + 1));
    }
    if (length) {
        *length = 1;
    }
    return unit.unicode();
}

char32_t codePointBefore(const QString& text, qsizetype index) {
    const QChar unit = text.at(index - 1);
    if (unit.isLowSurrogate() && index >= 2 && text.at(index - 2).isHighSurrogate()) {
        return QChar::surrogateToUcs4(text.at(index - 2), unit);
    }
    return unit.unicode();
}

QString upperCaseFirst(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    qsizetype length = 0;
    codePointAt(text, 0, &length);
    const QString first = text.left(length);
    const QString upper = first.toUpper();
    if (upper == first) {
        return text;
    }
    return upper + text.mid(length);
}

namespace {

bool isSpaceOrTab(QChar character) {
    return character == QLatin1Char('\t') || character.category() == QChar::Separator_Space;
}

} // namespace

QString trimSpacesAndTabs(const QString& text) {
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isSpaceOrTab(text.at(start))) {
        ++start;
    }
    while (end > start && isSpaceOrTab(text.at(end - 1))) {
        --end;
    }
    return (start == 0 && end == text.size()) ? text : text.mid(start, end - start);
}

} // namespace TextCharacters

#include "core/hotkey/HotkeyFormatter.h"

#include "core/hotkey/KeyCodes.h"

#include <QHash>

#include <array>

namespace HotkeyFormatter {

namespace {

const QHash<qint64, QString>& keyNames() {
    static const QHash<qint64, QString> names{
        {0, QStringLiteral("A")},
        {1, QStringLiteral("S")},
        {2, QStringLiteral("D")},
        {3, QStringLiteral("F")},
        {4, QStringLiteral("H")},
        {5, QStringLiteral("G")},
        {6, QStringLiteral("Z")},
        {7, QStringLiteral("X")},
        {8, QStringLiteral("C")},
        {9, QStringLiteral("V")},
        {11, QStringLiteral("B")},
        {12, QStringLiteral("Q")},
        {13, QStringLiteral("W")},
        {14, QStringLiteral("E")},
        {15, QStringLiteral("R")},
        {16, QStringLiteral("Y")},
        {17, QStringLiteral("T")},
        {18, QStringLiteral("1")},
        {19, QStringLiteral("2")},
        {20, QStringLiteral("3")},
        {21, QStringLiteral("4")},
        {22, QStringLiteral("6")},
        {23, QStringLiteral("5")},
        {25, QStringLiteral("9")},
        {26, QStringLiteral("7")},
        {28, QStringLiteral("8")},
        {29, QStringLiteral("0")},
        {31, QStringLiteral("O")},
        {32, QStringLiteral("U")},
        {34, QStringLiteral("I")},
        {35, QStringLiteral("P")},
        {37, QStringLiteral("L")},
        {38, QStringLiteral("J")},
        {40, QStringLiteral("K")},
        {45, QStringLiteral("N")},
        {46, QStringLiteral("M")},
        {24, QStringLiteral("=")},
        {27, QStringLiteral("-")},
        {30, QStringLiteral("]")},
        {33, QStringLiteral("[")},
        {39, QStringLiteral("'")},
        {41, QStringLiteral(";")},
        {42, QStringLiteral("\\")},
        {43, QStringLiteral(",")},
        {44, QStringLiteral("/")},
        {47, QStringLiteral(".")},
        {50, QStringLiteral("`")},
        {36, QStringLiteral("Return")},
        {48, QStringLiteral("Tab")},
        {49, QStringLiteral("Space")},
        {51, QStringLiteral("Delete")},
        {53, QStringLiteral("Escape")},
        {57, QStringLiteral("Caps Lock")},
        {63, QStringLiteral("Fn")},
        {123, QStringLiteral("Left Arrow")},
        {124, QStringLiteral("Right Arrow")},
        {125, QStringLiteral("Down Arrow")},
        {126, QStringLiteral("Up Arrow")},
        {122, QStringLiteral("F1")},
        {120, QStringLiteral("F2")},
        {99, QStringLiteral("F3")},
        {118, QStringLiteral("F4")},
        {96, QStringLiteral("F5")},
        {97, QStringLiteral("F6")},
        {98, QStringLiteral("F7")},
        {100, QStringLiteral("F8")},
        {101, QStringLiteral("F9")},
        {109, QStringLiteral("F10")},
        {103, QStringLiteral("F11")},
        {111, QStringLiteral("F12")},
        {105, QStringLiteral("F13")},
        {107, QStringLiteral("F14")},
        {113, QStringLiteral("F15")},
        {106, QStringLiteral("F16")},
    };
    return names;
}

struct ModifierSymbol {
    quint64 flag;
    char16_t symbol;
};

constexpr std::array<ModifierSymbol, 4> modifierSymbols{{
    {ModifierFlags::control, u'\u2303'},
    {ModifierFlags::option, u'\u2325'},
    {ModifierFlags::shift, u'\u21E7'},
    {ModifierFlags::command, u'\u2318'},
}};

QString modifierDisplay(quint64 rawValue) {
    QString symbols;
    for (const ModifierSymbol& modifier : modifierSymbols) {
        if (rawValue & modifier.flag) {
            symbols.append(QChar(modifier.symbol));
        }
    }
    return symbols;
}

} // namespace

std::optional<QString> keyName(qint64 keyCode) {
    const auto found = keyNames().constFind(keyCode);
    if (found == keyNames().constEnd()) {
        return std::nullopt;
    }
    return found.value();
}

QString display(const HotkeyBinding& binding) {
    const QString modifiers = modifierDisplay(binding.modifiersRawValue);
    const QString name =
        keyName(binding.keyCode).value_or(QStringLiteral("Key ") + QString::number(binding.keyCode));
    return modifiers.isEmpty() ? name : modifiers + QLatin1Char(' ') + name;
}

} // namespace HotkeyFormatter

#include "core/text/SpokenPunctuation.h"

namespace SpokenPunctuation {

const std::array<Rule, 13>& rules() {
    static const std::array<Rule, 13> table{{
        {QStringLiteral(u"\\b(?:semicolon|punto y coma)\\b"), QStringLiteral(u";")},
        {QStringLiteral(u"\\b(?:new paragraph|nuevo p[aá]rrafo|punto y aparte)\\b"), QStringLiteral(u"\n\n")},
        {QStringLiteral(u"\\b(?:period|full stop|punto y seguido|punto)\\b"), QStringLiteral(u".")},
        {QStringLiteral(u"\\b(?:question mark|signo de interrogaci[oó]n|interrogaci[oó]n)\\b"),
         QStringLiteral(u"?")},
        {QStringLiteral(u"\\b(?:exclamation (?:mark|point)|signo de (?:exclamaci[oó]n|admiraci[oó]n)|"
                        u"exclamaci[oó]n|admiraci[oó]n)\\b"),
         QStringLiteral(u"!")},
        {QStringLiteral(u"\\b(?:comma|coma)\\b"), QStringLiteral(u",")},
        {QStringLiteral(u"\\b(?:colon|dos puntos)\\b"), QStringLiteral(u":")},
        {QStringLiteral(u"\\b(?:ellipsis|puntos suspensivos|tres puntos)\\b"), QStringLiteral(u"\u2026")},
        {QStringLiteral(u"\\b(?:new line|newline|nueva l[ií]nea|enter|press enter|salto de l[ií]nea)\\b"),
         QStringLiteral(u"\n")},
        {QStringLiteral(u"\\b(?:open quote|abrir comillas|entre comillas)\\b"), QStringLiteral(u"\"")},
        {QStringLiteral(u"\\b(?:close quote|cerrar comillas)\\b"), QStringLiteral(u"\"")},
        {QStringLiteral(u"\\b(?:open paren(?:thesis)?|abrir par[eé]ntesis)\\b"), QStringLiteral(u"(")},
        {QStringLiteral(u"\\b(?:close paren(?:thesis)?|cerrar par[eé]ntesis)\\b"), QStringLiteral(u")")},
    }};
    return table;
}

} // namespace SpokenPunctuation

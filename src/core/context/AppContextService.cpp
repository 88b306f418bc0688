#include "core/context/AppContextService.h"

#include "core/text/TextCharacters.h"

#include <array>
#include <initializer_list>

namespace {

struct KindWords {
    AppContextType type;
    std::initializer_list<const char16_t*> words;
};

// Tested top to bottom; the first row with a word anywhere in the name wins.
const std::array<KindWords, 4> primaryWords{{
    {AppContextType::chat, {u"slack", u"discord", u"telegram", u"whatsapp", u"messages", u"imessage"}},
    {AppContextType::code, {u"code", u"xcode", u"terminal", u"iterm", u"warp", u"cursor", u"vim", u"neovim"}},
    {AppContextType::email, {u"mail", u"outlook", u"spark", u"gmail"}},
    {AppContextType::notes, {u"notion", u"obsidian", u"bear", u"notes"}},
}};

// The Linux clients of the same kinds of application, as their window classes and names read:
// chat and mail clients, editors, and terminal emulators (which take text like code editors).
// Consulted only for names the first table leaves as `other`, so no name changes kind through them.
const std::array<KindWords, 4> linuxWords{{
    {AppContextType::chat, {u"vesktop", u"webcord", u"armcord", u"zapzap", u"whatsdesk", u"wasistlos"}},
    {AppContextType::code,
     {u"codium",  u"konsole",    u"xterm",       u"rxvt",         u"alacritty",   u"kitty",
      u"wezterm", u"footclient", u"tilix",       u"terminator",   u"st-256color", u"sakura",
      u"guake",   u"yakuake",    u"terminology", u"ghostty",      u"ptyxis",      u"kgx",
      u"nvim",    u"neovide",    u"emacs",       u"sublime_text", u"jetbrains"}},
    {AppContextType::email, {u"thunderbird", u"betterbird", u"evolution", u"geary"}},
    {AppContextType::notes, {u"bijiben"}},
}};

std::optional<AppContextType> firstMatchingKind(const std::array<KindWords, 4>& table, const QString& name) {
    for (const KindWords& row : table) {
        for (const char16_t* word : row.words) {
            if (name.contains(QStringView(word))) {
                return row.type;
            }
        }
    }
    return std::nullopt;
}

} // namespace

AppContextType AppContextService::appType(const std::optional<QString>& appName) const {
    const QString name = appName.value_or(QString()).toLower();
    if (const auto type = firstMatchingKind(primaryWords, name)) {
        return *type;
    }
    return firstMatchingKind(linuxWords, name).value_or(AppContextType::other);
}

QString AppContextService::applyContextFormatting(const QString& text,
                                                  const std::optional<QString>& appName) const {
    switch (appType(appName)) {
    case AppContextType::chat:
        return formatForChat(text);
    case AppContextType::code:
        return formatForCode(text);
    case AppContextType::email:
        return formatForEmail(text);
    case AppContextType::notes:
    case AppContextType::other:
        break;
    }
    return text;
}

QString AppContextService::formatForChat(const QString& text) {
    // More than one sentence reads as a message that was meant to be formal.
    if (text.contains(QLatin1Char('\n')) || text.contains(QStringLiteral(u". "))) {
        return text;
    }
    QString result = text;
    if (result.endsWith(QLatin1Char('.'))) {
        result.chop(1);
    }
    if (result.isEmpty()) {
        return result;
    }
    qsizetype firstLength = 0;
    const char32_t first = TextCharacters::codePointAt(result, 0, &firstLength);
    if (firstLength >= result.size()) {
        return result;
    }
    const char32_t second = TextCharacters::codePointAt(result, firstLength);
    // "I", "OK" and acronyms keep their capital.
    if (QChar::isUpper(first) && QChar::isLower(second)) {
        return result.left(firstLength).toLower() + result.mid(firstLength);
    }
    return result;
}

QString AppContextService::formatForCode(const QString& text) {
    QString result = text;
    result.replace(QChar(0x201C), QLatin1Char('"'));
    result.replace(QChar(0x201D), QLatin1Char('"'));
    result.replace(QChar(0x2018), QLatin1Char('\''));
    result.replace(QChar(0x2019), QLatin1Char('\''));
    return result;
}

QString AppContextService::formatForEmail(const QString& text) {
    QString result = TextCharacters::upperCaseFirst(text);
    const QString trimmed = result.trimmed();
    if (trimmed.isEmpty() || trimmed.endsWith(QLatin1Char('.')) || trimmed.endsWith(QLatin1Char('!')) ||
        trimmed.endsWith(QLatin1Char('?'))) {
        return result;
    }
    result = TextCharacters::trimSpacesAndTabs(result);
    // After the last visible character, so that a text ending in a line break does not get its
    // full stop on a line of its own.
    qsizetype end = result.size();
    while (end > 0 && result.at(end - 1).isSpace()) {
        --end;
    }
    result.insert(end, QLatin1Char('.'));
    return result;
}

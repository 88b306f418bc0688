#pragma once

#include "core/text/DictionaryCorrector.h"
#include "core/text/ITextProcessingService.h"
#include "core/text/IcuRegex.h"
#include "core/text/SnippetMatcher.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

class IAppContextService;
class LocalDatabase;

// Turns a transcript into the text that is typed: voice snippets, the user's dictionary, filler
// words, spoken punctuation in English and Spanish, spacing and sentence capitals. Purely local
// and synchronous.
//
// Construct it with the database that holds the snippets and dictionary (read-only access is
// enough; it is never written) and the per-application formatting; both must outlive the service:
//
//     TextProcessingService text(database, appContext);
//
// Every fixed pattern is compiled once, here. The snippets and dictionary are read from the
// database and compiled on first use, and again whenever the database reports a change of them
// (its personalization revision), so results are always those of the stored entries.
// Main thread only, like the database.
class TextProcessingService final : public ITextProcessingService {
public:
    TextProcessingService(const LocalDatabase& database, const IAppContextService& appContext);
    Q_DISABLE_COPY_MOVE(TextProcessingService)

    std::optional<QString> matchSnippet(const QString& text) override;
    QString applyDictionary(const QString& text) override;
    QString removeFillers(const QString& text) const override;
    QString applyPunctuationCommands(const QString& text) const override;
    QString capitalizeSentenceStarts(const QString& text) const;

    // The local pipeline as a dictation runs it, without the optional AI edit passes: the trimmed
    // transcript's snippet body as it stands, or the transcript through the dictionary, filler
    // removal and spoken punctuation, then formatted for `appName`.
    QString process(const QString& transcript, const std::optional<QString>& appName);

private:
    struct FixedPattern {
        IcuRegex regex;
        IcuRegex::Replacement replacement;
    };

    // What the compiled entries were built from: a change of the dictionary or snippets, or the
    // database being opened, makes them stale.
    struct Source {
        quint64 revision = 0;
        bool open = false;
        friend bool operator==(const Source&, const Source&) = default;
    };
    Source currentSource() const;
    const SnippetMatcher& snippets();
    const DictionaryCorrector& dictionary();

    const LocalDatabase& m_database;
    const IAppContextService& m_appContext;

    std::vector<FixedPattern> m_punctuationRules;
    std::vector<FixedPattern> m_fillerRules;
    FixedPattern m_spaceBeforeClosingMark;
    FixedPattern m_spaceAfterOpeningBracket;
    FixedPattern m_repeatedSpaces;
    FixedPattern m_spaceAroundLineBreak;
    FixedPattern m_spaceAfterSentenceEnd;
    FixedPattern m_repeatedSentenceMark;

    std::optional<SnippetMatcher> m_snippets;
    Source m_snippetsSource;
    std::optional<DictionaryCorrector> m_dictionary;
    Source m_dictionarySource;
};

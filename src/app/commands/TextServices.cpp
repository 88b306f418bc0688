#include "TextServices.h"

#include "common/ErrorDomain.h"

// Stand-ins until the text processing, app context and notes services are in the tree: the text
// passes through unchanged, every application is "other", and there is no journal. Replace each
// with the real service here; nothing else changes.
namespace {

class PassThroughTextProcessing final : public ITextProcessingService {
public:
    std::optional<QString> matchSnippet(const QString&) override { return std::nullopt; }
    QString applyDictionary(const QString& text) override { return text; }
    QString removeFillers(const QString& text) const override { return text; }
    QString applyPunctuationCommands(const QString& text) const override { return text; }
};

class PlainAppContext final : public IAppContextService {
public:
    AppContextType appType(const std::optional<QString>&) const override { return AppContextType::other; }
    QString applyContextFormatting(const QString& text, const std::optional<QString>&) const override {
        return text;
    }
};

class NoNotes final : public INotesService {
public:
    Result<NoteSaveResult> saveNote(const QString&, const std::optional<QByteArray>&) override {
        return PTTError{ErrorDomain::file, 4, QStringLiteral("Notes are not available here.")};
    }
    Result<QString> defaultNotesPath() const override {
        return PTTError{ErrorDomain::file, 4, QStringLiteral("Notes are not available here.")};
    }
};

} // namespace

TextServices makeTextServices(LocalDatabase&) {
    return TextServices{std::make_unique<PassThroughTextProcessing>(), std::make_unique<PlainAppContext>(),
                        std::make_unique<NoNotes>()};
}

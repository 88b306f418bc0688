#include "core/text/TextMetrics.h"

#include <memory>
#include <unicode/brkiter.h>
#include <unicode/unistr.h>

namespace TextMetrics {

qint64 wordCount(const QString& text) {
    qint64 words = 0;
    bool inWord = false;
    for (const QChar character : text) {
        const bool space = character.isSpace();
        if (!space && !inWord) {
            ++words;
        }
        inWord = !space;
    }
    return words;
}

qint64 characterCount(const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    // Creating a break iterator loads ICU's rules; one per thread is enough.
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(created) : nullptr;
    }();
    if (!iterator) {
        return text.size();
    }
    const icu::UnicodeString unicode(false, reinterpret_cast<const UChar*>(text.utf16()),
                                     static_cast<int32_t>(text.size()));
    iterator->setText(unicode);
    qint64 count = 0;
    iterator->first();
    while (iterator->next() != icu::BreakIterator::DONE) {
        ++count;
    }
    return count;
}

} // namespace TextMetrics

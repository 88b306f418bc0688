#pragma once

#include <QtGlobal>

// What prompt condensing has saved, over some period.
struct PruningStatsSummary {
    qint64 totalPruned = 0;
    qint64 totalOriginalWords = 0;
    qint64 totalPrunedWords = 0;
    qint64 totalOriginalChars = 0;
    qint64 totalPrunedChars = 0;

    friend bool operator==(const PruningStatsSummary&, const PruningStatsSummary&) = default;

    // 1.3 tokens per word removed, truncated toward zero (negative when condensing lengthened).
    qint64 estimatedTokensSaved() const;

    // At fifteen dollars per million input tokens, in cents.
    double estimatedCostSavedCents() const;
};

#pragma once

#include <QString>

// One row of pruning_stats: a condensed prompt.
struct PruningRecord {
    qint64 originalWords = 0;
    qint64 prunedWords = 0;
    qint64 originalChars = 0;
    qint64 prunedChars = 0;
    QString pruneLevel;  // a PromptPruneLevel raw value
    QString targetModel; // a PromptPruneTarget raw value
};

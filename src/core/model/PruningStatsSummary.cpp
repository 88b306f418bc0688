#include "core/model/PruningStatsSummary.h"

qint64 PruningStatsSummary::estimatedTokensSaved() const {
    return static_cast<qint64>(static_cast<double>(totalOriginalWords - totalPrunedWords) * 1.3);
}

double PruningStatsSummary::estimatedCostSavedCents() const {
    return static_cast<double>(estimatedTokensSaved()) * 15.0 / 1'000'000.0 * 100.0;
}

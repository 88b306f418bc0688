#include "ui/settings/PruningSavingsPanel.h"

#include "core/ports/Clock.h"
#include "core/storage/LocalDatabase.h"

#include <algorithm>
#include <cmath>

PruningSavingsPanel::PruningSavingsPanel(LocalDatabase& database, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_database(database)
    , m_clock(clock) {}

QStringList PruningSavingsPanel::periodNames() {
    return {QStringLiteral("Since reset"), QStringLiteral("This month"), QStringLiteral("All time")};
}

void PruningSavingsPanel::setPeriodIndex(int index) {
    if (index < 0 || index > static_cast<int>(Period::allTime)) {
        return;
    }
    m_period = static_cast<Period>(index);
    refresh();
}

std::optional<QDateTime> PruningSavingsPanel::periodStart(Period period) const {
    switch (period) {
    case Period::sinceReset: {
        const auto text = m_database.fetchSetting(resetKey);
        if (!text) {
            return std::nullopt;
        }
        // An internet date-time names its offset; a moment without one is not one we wrote.
        const QDateTime moment = QDateTime::fromString(*text, Qt::ISODate);
        if (!moment.isValid() || moment.timeSpec() == Qt::LocalTime) {
            return std::nullopt;
        }
        return moment;
    }
    case Period::thisMonth: {
        const QDate today = m_clock.now().toLocalTime().date();
        return QDateTime(QDate(today.year(), today.month(), 1), QTime(0, 0), Qt::LocalTime);
    }
    case Period::allTime:
        return std::nullopt;
    }
    return std::nullopt;
}

void PruningSavingsPanel::refresh() {
    m_stats = m_database.fetchPruningStats(periodStart(m_period));
    m_allTime = m_database.fetchPruningStats(std::nullopt);
    emit changed();
}

void PruningSavingsPanel::resetCounter() {
    m_database.saveSetting(resetKey, m_clock.now().toUTC().toString(Qt::ISODate));
    refresh();
}

qint64 PruningSavingsPanel::wordsSaved() const {
    return std::max<qint64>(0, m_stats.totalOriginalWords - m_stats.totalPrunedWords);
}

QString PruningSavingsPanel::tokensText() const {
    return QStringLiteral("~%1").arg(static_cast<qint64>(static_cast<double>(wordsSaved()) * 1.3));
}

double PruningSavingsPanel::percent() const {
    if (m_stats.totalOriginalWords <= 0) {
        return 0;
    }
    return static_cast<double>(wordsSaved()) / static_cast<double>(m_stats.totalOriginalWords) * 100.0;
}

QString PruningSavingsPanel::percentText() const {
    return QString::asprintf("%.0f%%", percent());
}

double PruningSavingsPanel::barFraction() const {
    return std::min(percent() / 100.0, 1.0);
}

QString PruningSavingsPanel::wordsText() const {
    return QStringLiteral("%1 \u2192 %2 words").arg(m_stats.totalOriginalWords).arg(m_stats.totalPrunedWords);
}

QString PruningSavingsPanel::costText() const {
    const double cents = m_stats.estimatedCostSavedCents();
    if (!(cents > 0.01)) {
        return {};
    }
    if (cents >= 1.0) {
        return QString::asprintf("~$%.2f saved vs. Claude Opus 4", cents / 100.0);
    }
    return QStringLiteral("< $0.01 saved so far");
}

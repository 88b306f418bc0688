#pragma once

#include "core/model/PruningStatsSummary.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <optional>

class Clock;
class LocalDatabase;

// The savings of prompt condensing over a chosen period, read when asked (the tab appears, the
// period changes), not followed live; and the counter reset, which deletes nothing.
//
// A period in which condensing lengthened the prompts saved nothing: the percentage, the tokens
// and the bar stay at zero rather than going negative.
class PruningSavingsPanel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_DISABLE_COPY_MOVE(PruningSavingsPanel)
    Q_PROPERTY(QStringList periodNames READ periodNames CONSTANT)
    Q_PROPERTY(int periodIndex READ periodIndex WRITE setPeriodIndex NOTIFY changed)
    // The Savings section shows once anything was ever condensed.
    Q_PROPERTY(bool hasEverPruned READ hasEverPruned NOTIFY changed)
    Q_PROPERTY(qint64 promptsPruned READ promptsPruned NOTIFY changed)
    Q_PROPERTY(QString tokensText READ tokensText NOTIFY changed)
    Q_PROPERTY(QString percentText READ percentText NOTIFY changed)
    Q_PROPERTY(double barFraction READ barFraction NOTIFY changed)
    Q_PROPERTY(QString wordsText READ wordsText NOTIFY changed)
    // Empty when the saving is too small to mention.
    Q_PROPERTY(QString costText READ costText NOTIFY changed)
    Q_PROPERTY(bool canReset READ canReset NOTIFY changed)

public:
    enum class Period { sinceReset, thisMonth, allTime };
    Q_ENUM(Period)

    static inline const QString resetKey = QStringLiteral("pruning_counter_reset");

    PruningSavingsPanel(LocalDatabase& database, const Clock& clock, QObject* parent = nullptr);

    static QStringList periodNames();
    int periodIndex() const { return static_cast<int>(m_period); }
    void setPeriodIndex(int index);
    bool hasEverPruned() const { return m_allTime.totalPruned >= 1; }
    qint64 promptsPruned() const { return m_stats.totalPruned; }
    QString tokensText() const;
    double percent() const;
    QString percentText() const;
    double barFraction() const;
    QString wordsText() const;
    QString costText() const;
    bool canReset() const { return m_period == Period::sinceReset; }

    Q_INVOKABLE void refresh();
    // Counting starts again now; every row stays.
    Q_INVOKABLE void resetCounter();

    // Where a period starts; none counts every row.
    std::optional<QDateTime> periodStart(Period period) const;

Q_SIGNALS:
    void changed();

private:
    qint64 wordsSaved() const;

    LocalDatabase& m_database;
    const Clock& m_clock;
    Period m_period = Period::sinceReset;
    PruningStatsSummary m_stats;
    PruningStatsSummary m_allTime;
};

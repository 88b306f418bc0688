#include "ui/StatusMenuModel.h"

#include "core/audio/IAudioCaptureService.h"
#include "core/dictation/PTTAppState.h"
#include "core/hotkey/HotkeyFormatter.h"
#include "core/hotkey/HotkeyInstructions.h"
#include "core/hotkey/KeyCodes.h"
#include "core/storage/LocalDatabase.h"
#include "core/update/UpdateService.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

namespace {

// An internet date-time with an explicit offset; absent for anything else.
std::optional<QDateTime> parseResetMoment(const std::optional<QString>& text) {
    if (!text) {
        return std::nullopt;
    }
    const QDateTime moment = QDateTime::fromString(*text, Qt::ISODate);
    if (!moment.isValid() || moment.timeSpec() == Qt::LocalTime) {
        return std::nullopt;
    }
    return moment;
}

} // namespace

StatusMenuModel::StatusMenuModel(PTTAppState& controller, LocalDatabase& database,
                                 const IAudioCaptureService& capture, UpdateService* updates,
                                 QString functionKeyName, QObject* parent)
    : QObject(parent)
    , m_controller(controller)
    , m_database(database)
    , m_capture(capture)
    , m_updates(updates)
    , m_functionKeyName(std::move(functionKeyName)) {
    for (const auto signal :
         {&PTTAppState::isHotkeyMonitorRunningChanged, &PTTAppState::serverReachableChanged,
          &PTTAppState::todayStatsChanged, &PTTAppState::statsSummaryChanged}) {
        connect(&controller, signal, this, &StatusMenuModel::changed);
    }
    connect(&controller, &PTTAppState::settingsChanged, this, [this] {
        reloadSavings();
        emit changed();
    });
    // A dictation may have added condensing figures.
    connect(&controller, &PTTAppState::todayStatsChanged, this, &StatusMenuModel::reloadSavings);
    for (const auto signal : {&PTTAppState::isHotkeyMonitorRunningChanged, &PTTAppState::lastEventChanged,
                              &PTTAppState::isProcessingChanged}) {
        connect(&controller, signal, this, &StatusMenuModel::updateIconState);
    }
    if (updates) {
        for (const auto signal :
             {&UpdateService::updateAvailableChanged, &UpdateService::latestVersionChanged,
              &UpdateService::isDownloadingChanged}) {
            connect(updates, signal, this, &StatusMenuModel::changed);
        }
    }
    reloadSavings();
    updateIconState();
}

bool StatusMenuModel::isOn() const {
    return m_controller.isHotkeyMonitorRunning();
}

bool StatusMenuModel::serverReachable() const {
    return m_controller.serverReachable();
}

QString StatusMenuModel::reachabilityText() const {
    return serverReachable() ? QStringLiteral("Connected") : QStringLiteral("Server unreachable");
}

QString StatusMenuModel::hotkeyHint() const {
    return hotkeyHintFor(m_controller.settings().hotkey, m_functionKeyName);
}

QString StatusMenuModel::statusLine() const {
    return statusLineFor(isOn(), m_controller.todayStats(), m_controller.statsSummary(), hotkeyHint(),
                         HotkeyInstructions::startVerb(m_controller.settings().hotkey));
}

QString StatusMenuModel::hotkeyProblem() const {
    const std::optional<QString> problem = m_hotkeyProblemSource ? m_hotkeyProblemSource() : std::nullopt;
    if (!problem) {
        return {};
    }
    // A line of its own under the status: capitalised as a sentence.
    QString line = *problem;
    if (!line.isEmpty()) {
        line[0] = line[0].toUpper();
    }
    return line.endsWith(QLatin1Char('.')) ? line : line + QLatin1Char('.');
}

bool StatusMenuModel::pruningEnabled() const {
    return m_controller.settings().promptPruningEnabled;
}

bool StatusMenuModel::updateAvailable() const {
    return m_updates && m_updates->updateAvailable();
}

QString StatusMenuModel::updateTitle() const {
    return m_updates ? QStringLiteral("Update to v") + m_updates->latestVersion() : QString();
}

bool StatusMenuModel::isDownloading() const {
    return m_updates && m_updates->isDownloading();
}

void StatusMenuModel::refresh() {
    m_controller.refreshStatistics();
    reloadSavings();
    emit changed();
}

void StatusMenuModel::setOn(bool on) {
    if (on) {
        m_controller.startHotkeyMonitor();
    } else {
        m_controller.stopHotkeyMonitor();
    }
    // A start that failed leaves the switch off: the view reads the state back from here.
    emit changed();
}

void StatusMenuModel::setPruningEnabled(bool enabled) {
    if (m_controller.setSettingValue(QStringLiteral("promptPruningEnabled"), enabled)) {
        m_controller.persistSettings();
    }
}

void StatusMenuModel::installUpdate() {
    if (m_updates && !m_updates->isDownloading()) {
        m_updates->requestInstall();
    }
}

void StatusMenuModel::openSettings() {
    emit settingsRequested();
}

void StatusMenuModel::quit() {
    emit quitRequested();
}

QString StatusMenuModel::statusLineFor(bool isOn, const TodayStats& today, const PTTStatsSummary& summary,
                                       const QString& hotkey, const QString& startVerb) {
    if (!isOn) {
        return QStringLiteral("Off");
    }
    if (today.dictations > 0) {
        const qint64 minutes = today.estimatedMinutesSaved();
        if (minutes >= 1) {
            return QStringLiteral("%1 today · ~%2 min saved").arg(today.dictations).arg(minutes);
        }
        return QStringLiteral("%1 today · %2").arg(today.dictations).arg(hotkey);
    }
    if (summary.totalSessions > 0) {
        return QStringLiteral("On · ") + hotkey;
    }
    return startVerb + QLatin1Char(' ') + hotkey + QStringLiteral(" and speak");
}

std::pair<QString, bool> StatusMenuModel::savingsLineFor(const PruningStatsSummary& savings) {
    const qint64 tokens = std::max<qint64>(0, savings.estimatedTokensSaved());
    const double cents = savings.estimatedCostSavedCents();
    if (cents >= 1.0) {
        return {QStringLiteral("~%1 tokens · $%2 saved").arg(tokens).arg(cents / 100, 0, 'f', 2), true};
    }
    if (savings.totalPruned >= 1) {
        return {QStringLiteral("~%1 tokens saved").arg(tokens), true};
    }
    return {QStringLiteral("No savings yet"), false};
}

QString StatusMenuModel::hotkeyHintFor(const HotkeyBinding& binding, const QString& functionKeyName) {
    const QString shown = HotkeyFormatter::display(binding);
    if (binding.keyCode == KeyCodes::function && !functionKeyName.isEmpty()) {
        return shown + QStringLiteral(" (") + functionKeyName + QLatin1Char(')');
    }
    return shown;
}

void StatusMenuModel::updateIconState() {
    const auto& event = m_controller.lastEvent();
    // The last event alone could say "recording" after the microphone closed; the capture decides.
    const bool recording = event && event->state == PTTState::recording && m_capture.isCapturing();
    IconState state = IconState::on;
    if (recording) {
        state = IconState::recording;
    } else if (!m_controller.isHotkeyMonitorRunning()) {
        state = IconState::off;
    }
    if (state != m_iconState) {
        m_iconState = state;
        emit iconStateChanged();
    }
}

void StatusMenuModel::reloadSavings() {
    const auto since = parseResetMoment(m_database.fetchSetting(pruningResetKey));
    auto [line, saved] = savingsLineFor(m_database.fetchPruningStats(since));
    if (line != m_savingsLine || saved != m_hasSavings) {
        m_savingsLine = std::move(line);
        m_hasSavings = saved;
        emit changed();
    }
}

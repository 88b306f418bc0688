#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

class IAudioCaptureService;
class LocalDatabase;
class PTTAppState;
class UpdateService;
struct HotkeyBinding;
struct PruningStatsSummary;
struct PTTStatsSummary;
struct TodayStats;

// What the status pop-over and the tray icon show, and what their controls do: the on/off switch
// of the hotkey, today's summary, prompt pruning and its savings, the update entry.
class StatusMenuModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the application")
    Q_DISABLE_COPY_MOVE(StatusMenuModel)
    Q_PROPERTY(bool isOn READ isOn NOTIFY changed)
    Q_PROPERTY(bool serverReachable READ serverReachable NOTIFY changed)
    Q_PROPERTY(QString reachabilityText READ reachabilityText NOTIFY changed)
    Q_PROPERTY(QString statusLine READ statusLine NOTIFY changed)
    Q_PROPERTY(bool pruningEnabled READ pruningEnabled NOTIFY changed)
    Q_PROPERTY(QString savingsLine READ savingsLine NOTIFY changed)
    // False while nothing was saved yet: the line is shown fainter.
    Q_PROPERTY(bool hasSavings READ hasSavings NOTIFY changed)
    Q_PROPERTY(bool updateAvailable READ updateAvailable NOTIFY changed)
    Q_PROPERTY(QString updateTitle READ updateTitle NOTIFY changed)
    Q_PROPERTY(bool isDownloading READ isDownloading NOTIFY changed)
    // Why the hotkey cannot be heard and what to do, one line; empty when it can.
    Q_PROPERTY(QString hotkeyProblem READ hotkeyProblem NOTIFY changed)

public:
    enum class IconState { off, on, recording };
    Q_ENUM(IconState)

    static inline const QString pruningResetKey = QStringLiteral("pruning_counter_reset");

    // `functionKeyName` is the key that stands in for fn on this desktop ("Right Ctrl" on X11),
    // named wherever the user is told what to press; empty where fn is a key of its own. Without
    // an update service there is no update entry.
    StatusMenuModel(PTTAppState& controller, LocalDatabase& database, const IAudioCaptureService& capture,
                    UpdateService* updates, QString functionKeyName, QObject* parent = nullptr);

    bool isOn() const;
    bool serverReachable() const;
    QString reachabilityText() const;
    QString statusLine() const;
    bool pruningEnabled() const;
    QString savingsLine() const { return m_savingsLine; }
    bool hasSavings() const { return m_hasSavings; }
    bool updateAvailable() const;
    QString updateTitle() const;
    bool isDownloading() const;
    IconState iconState() const { return m_iconState; }
    QString hotkeyProblem() const;
    // Asked whenever the pop-over opens: a desktop may refuse the hotkey long after start-up.
    void setHotkeyProblemSource(std::function<std::optional<QString>()> source) {
        m_hotkeyProblemSource = std::move(source);
    }

    // The hotkey as the user is told to press it.
    QString hotkeyHint() const;

    // The pop-over opens: today's figures and the savings are read again.
    Q_INVOKABLE void refresh();
    Q_INVOKABLE void setOn(bool on);
    Q_INVOKABLE void setPruningEnabled(bool enabled);
    Q_INVOKABLE void installUpdate();
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void quit();

    // `startVerb` is how a dictation starts with the binding ("Hold" or "Press").
    static QString statusLineFor(bool isOn, const TodayStats& today, const PTTStatsSummary& summary,
                                 const QString& hotkey, const QString& startVerb = QStringLiteral("Hold"));
    // The line and whether anything was saved. A period in which condensing lengthened prompts
    // saved nothing: it shows no tokens rather than a negative count.
    static std::pair<QString, bool> savingsLineFor(const PruningStatsSummary& savings);
    static QString hotkeyHintFor(const HotkeyBinding& binding, const QString& functionKeyName);

Q_SIGNALS:
    void changed();
    void iconStateChanged();
    void settingsRequested();
    void quitRequested();

private:
    void updateIconState();
    void reloadSavings();

    PTTAppState& m_controller;
    LocalDatabase& m_database;
    const IAudioCaptureService& m_capture;
    QPointer<UpdateService> m_updates;
    QString m_functionKeyName;
    std::function<std::optional<QString>()> m_hotkeyProblemSource;
    QString m_savingsLine;
    bool m_hasSavings = false;
    IconState m_iconState = IconState::off;
};

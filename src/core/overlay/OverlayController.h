#pragma once

#include "core/overlay/IOverlayController.h"
#include "core/overlay/OverlayModel.h"
#include "core/ports/Scheduler.h"

#include <QObject>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <vector>

class Screens;
class SoundPlayer;
struct ScreenInfo;

// Decides what the overlay shows and where: the model for the island, and the panel that carries
// it — a click-through, non-activating window along the top edge of the screen under the pointer.
// The window itself belongs to the user interface, which follows panelGeometry, panelVisible and
// panelOpacity (animating opacity changes over fadeDuration) and raises the window on panelRaised.
// Main thread only.
class OverlayController final
    : public QObject
    , public IOverlayController {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OverlayController)
    Q_PROPERTY(OverlayModel* model READ model CONSTANT)
    Q_PROPERTY(QRectF panelGeometry READ panelGeometry NOTIFY panelGeometryChanged)
    Q_PROPERTY(bool panelVisible READ panelVisible NOTIFY panelVisibleChanged)
    Q_PROPERTY(double panelOpacity READ panelOpacity NOTIFY panelOpacityChanged)

public:
    static constexpr double panelHeight = 200;
    static constexpr QSizeF placeholderNotch{180, 32};
    static constexpr double tickInterval = 0.1;
    // After the island has shrunk back, the panel fades out and is withdrawn.
    static constexpr double collapseToFade = 0.6;
    static constexpr double fadeDuration = 0.15;

    OverlayController(Screens& screens, SoundPlayer& sounds, Scheduler& scheduler, QObject* parent = nullptr);
    ~OverlayController() override;

    void show(const QString& text, OverlayState state) override;
    void update(const QString& text, std::optional<OverlayState> state = std::nullopt) override;
    void hide(double afterSeconds) override;
    void setAudioLevel(float level) override;

    OverlayModel* model() { return &m_model; }
    const OverlayModel& overlayModel() const { return m_model; }
    QRectF panelGeometry() const { return m_panelGeometry; }
    bool panelVisible() const { return m_panelVisible; }
    double panelOpacity() const { return m_panelOpacity; }

    // The state a status text implies when the caller gives none; absent for other texts.
    static std::optional<OverlayState> stateForText(const QString& text);
    // The camera notch of a screen; empty when it has none.
    static QSizeF notchSize(const ScreenInfo& screen);

Q_SIGNALS:
    void panelGeometryChanged();
    void panelVisibleChanged();
    void panelOpacityChanged();
    void panelRaised();

private:
    std::optional<ScreenInfo> activeScreen() const;
    void configureGeometry();
    void startTicker();
    void stopTicker();
    void tick();
    void collapse(quint64 generation);
    void cancelCollapses();
    void setPanelGeometry(const QRectF& geometry);
    void setPanelVisible(bool visible);
    void setPanelOpacity(double opacity);

    Screens& m_screens;
    SoundPlayer& m_sounds;
    Scheduler& m_scheduler;
    OverlayModel m_model;
    QRectF m_panelGeometry;
    bool m_panelVisible = false;
    double m_panelOpacity = 0;
    Scheduler::TimerId m_ticker = Scheduler::invalidTimer;
    std::optional<double> m_recordingStartedAt;
    // Grows with every show: a collapse scheduled before it belongs to an earlier dictation.
    quint64 m_generation = 0;
    std::vector<Scheduler::TimerId> m_collapseTimers;
};

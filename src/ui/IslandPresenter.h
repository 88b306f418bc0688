#pragma once

#include "core/overlay/OverlayModel.h"
#include "core/overlay/OverlayState.h"

#include <QColor>
#include <QObject>
#include <QSizeF>
#include <QtQml/qqmlregistration.h>

class OverlayController;

// What the island looks like at each moment: its size and corner radii, its colours, which
// content it carries and the timer text, all from the overlay's model. The views lay these out
// and animate between them; they decide nothing themselves.
class IslandPresenter final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the overlay window")
    Q_DISABLE_COPY_MOVE(IslandPresenter)
    Q_PROPERTY(OverlayModel* model READ model CONSTANT)
    Q_PROPERTY(bool expanded READ expanded NOTIFY layoutChanged)
    Q_PROPERTY(double islandWidth READ islandWidth NOTIFY layoutChanged)
    Q_PROPERTY(double islandHeight READ islandHeight NOTIFY layoutChanged)
    Q_PROPERTY(double topRadius READ topRadius NOTIFY layoutChanged)
    Q_PROPERTY(double bottomRadius READ bottomRadius NOTIFY layoutChanged)
    Q_PROPERTY(double watermarkTopPadding READ watermarkTopPadding NOTIFY layoutChanged)
    // "none", "recording", "transcribing", "done" or "error".
    Q_PROPERTY(QString content READ content NOTIFY stateChanged)
    // The glow, and the tint of the waveform, spinner or glyph.
    Q_PROPERTY(QColor accentColor READ accentColor NOTIFY stateChanged)
    // The glyph of the done and error states, a name for the icon provider.
    Q_PROPERTY(QString glyph READ glyph NOTIFY stateChanged)
    Q_PROPERTY(QString timerText READ timerText NOTIFY timerTextChanged)
    // Without a compositor the window is opaque: a glow would be drawn as a dark box.
    Q_PROPERTY(bool glowVisible READ glowVisible NOTIFY glowVisibleChanged)
    Q_PROPERTY(double panelOpacity READ panelOpacity NOTIFY panelOpacityChanged)
    Q_PROPERTY(int fadeDurationMs READ fadeDurationMs CONSTANT)
    Q_PROPERTY(QColor fillColor READ fillColor CONSTANT)

public:
    struct Geometry {
        double width = 0;
        double height = 0;
        double topRadius = 0;
        double bottomRadius = 0;
        friend bool operator==(const Geometry&, const Geometry&) = default;
    };

    static constexpr double contentAreaHeight = 44;
    static inline const QColor obsidianBase = QColor::fromRgbF(0.055f, 0.055f, 0.055f);
    static inline const QColor voiceRed = QColor::fromRgbF(1.0f, 0.294f, 0.294f);
    static inline const QColor commandBlue = QColor::fromRgbF(0.039f, 0.518f, 1.0f);
    static inline const QColor transcribeAmber = QColor::fromRgbF(1.0f, 0.69f, 0.0f);
    static inline const QColor successGreen = QColor::fromRgbF(0.196f, 0.843f, 0.294f);
    static inline const QColor errorRed = QColor::fromRgbF(1.0f, 0.216f, 0.373f);

    explicit IslandPresenter(OverlayController& controller, QObject* parent = nullptr);

    OverlayModel* model() const { return &m_model; }
    bool expanded() const;
    double islandWidth() const { return geometry().width; }
    double islandHeight() const { return geometry().height; }
    double topRadius() const { return geometry().topRadius; }
    double bottomRadius() const { return geometry().bottomRadius; }
    double watermarkTopPadding() const;
    QString content() const;
    QColor accentColor() const;
    QString glyph() const;
    QString timerText() const { return formatTimer(m_elapsedShown); }
    bool glowVisible() const { return m_glowVisible; }
    void setGlowVisible(bool visible);
    double panelOpacity() const;
    int fadeDurationMs() const;
    QColor fillColor() const { return obsidianBase; }

    Geometry geometry() const;
    // The island for a state. Without a notch `notchSize` is the placeholder the island grows out
    // of; with one, the island keeps the notch's width and only grows downwards.
    static Geometry geometryFor(OverlayState state, bool visible, QSizeF notchSize, bool hasNotch);
    // Whole seconds as minutes and seconds: 0:07, 1:05, 10:00.
    static QString formatTimer(double seconds);

Q_SIGNALS:
    void layoutChanged();
    void stateChanged();
    void timerTextChanged();
    void glowVisibleChanged();
    void panelOpacityChanged();
    // The state turned to error: the island shakes once.
    void shakeRequested();

private:
    void handleStateChange();
    void handleElapsedChange();

    OverlayController& m_controller;
    OverlayModel& m_model;
    OverlayState m_lastState;
    // Whole seconds, so that the timer text changes once a second and not at every tick.
    qint64 m_elapsedShown = 0;
    bool m_glowVisible = true;
};

#pragma once

#include "core/overlay/OverlayState.h"

#include <QObject>
#include <QRectF>
#include <QString>

// What the island at the top of the screen shows. Written by OverlayController (and its level by
// the dictation controller through it), read by the views through the properties.
class OverlayModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OverlayModel)
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    // The raw name of the state ("idle", "recording", "commandMode", "transcribing", "done", "error").
    Q_PROPERTY(QString state READ stateName NOTIFY stateChanged)
    Q_PROPERTY(bool isVisible READ isVisible NOTIFY isVisibleChanged)
    // Screen-local, origin at the screen's top-left corner.
    Q_PROPERTY(QRectF notchRect READ notchRect NOTIFY notchRectChanged)
    Q_PROPERTY(bool hasNotch READ hasNotch NOTIFY hasNotchChanged)
    // Global coordinates.
    Q_PROPERTY(QRectF screenFrame READ screenFrame NOTIFY screenFrameChanged)
    Q_PROPERTY(double elapsedSeconds READ elapsedSeconds NOTIFY elapsedSecondsChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)

public:
    explicit OverlayModel(QObject* parent = nullptr);

    QString text() const { return m_text; }
    OverlayState state() const { return m_state; }
    QString stateName() const { return rawValue(m_state); }
    bool isVisible() const { return m_isVisible; }
    QRectF notchRect() const { return m_notchRect; }
    bool hasNotch() const { return m_hasNotch; }
    QRectF screenFrame() const { return m_screenFrame; }
    double elapsedSeconds() const { return m_elapsedSeconds; }
    float audioLevel() const { return m_audioLevel; }

    void setText(const QString& text);
    void setState(OverlayState state);
    void setVisible(bool visible);
    void setNotchRect(const QRectF& rect);
    void setHasNotch(bool hasNotch);
    void setScreenFrame(const QRectF& frame);
    void setElapsedSeconds(double seconds);
    void setAudioLevel(float level);

Q_SIGNALS:
    void textChanged();
    void stateChanged();
    void isVisibleChanged();
    void notchRectChanged();
    void hasNotchChanged();
    void screenFrameChanged();
    void elapsedSecondsChanged();
    void audioLevelChanged();

private:
    QString m_text = QStringLiteral("Ready");
    OverlayState m_state = OverlayState::idle;
    bool m_isVisible = false;
    QRectF m_notchRect;
    bool m_hasNotch = false;
    QRectF m_screenFrame;
    double m_elapsedSeconds = 0;
    float m_audioLevel = 0;
};

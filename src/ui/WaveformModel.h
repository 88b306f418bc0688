#pragma once

#include <QList>
#include <QObject>
#include <QtQml/qqmlregistration.h>

// The bar heights of the recording waveform: a few travelling sines under a bell-shaped envelope,
// scaled by the microphone level. A flat row of dots stands for silence.
// Not final: the QML engine derives from the types it creates.
class WaveformModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_DISABLE_COPY_MOVE(WaveformModel)
    Q_PROPERTY(double level READ level WRITE setLevel NOTIFY levelChanged)
    Q_PROPERTY(QList<qreal> barHeights READ barHeights NOTIFY barHeightsChanged)
    Q_PROPERTY(int barCount READ barCount CONSTANT)
    Q_PROPERTY(double barWidth READ barWidth CONSTANT)
    Q_PROPERTY(double barSpacing READ barSpacing CONSTANT)
    Q_PROPERTY(double maxBarHeight READ maxBarHeight CONSTANT)
    // The redraw interval: no more than 30 frames a second.
    Q_PROPERTY(int frameIntervalMs READ frameIntervalMs CONSTANT)

public:
    static constexpr int bars = 14;
    static constexpr double width = 3;
    static constexpr double spacing = 3;
    static constexpr double maxHeight = 22;
    static constexpr double minHeight = 3;
    static constexpr double silenceLevel = 0.02;
    static constexpr int frameInterval = 34;

    explicit WaveformModel(QObject* parent = nullptr);

    double level() const { return m_level; }
    void setLevel(double level);
    QList<qreal> barHeights() const { return m_heights; }
    int barCount() const { return bars; }
    double barWidth() const { return width; }
    double barSpacing() const { return spacing; }
    double maxBarHeight() const { return maxHeight; }
    int frameIntervalMs() const { return frameInterval; }

    // Recomputes the bars for the current time.
    Q_INVOKABLE void advance();
    void advanceTo(double seconds);

    // Bar `index` at `seconds` (any fixed origin) for a level in [0, 1]. Not clamped above: at full
    // level the middle bars overshoot the row a little, which reads as a peak.
    static double barHeight(int index, double level, double seconds);

Q_SIGNALS:
    void levelChanged();
    void barHeightsChanged();

private:
    double m_level = 0;
    double m_time = 0;
    QList<qreal> m_heights;
};

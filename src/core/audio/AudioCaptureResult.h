#pragma once

#include <QByteArray>

// One finished recording: a complete 16 kHz mono 16-bit WAV file and how long the capture ran.
struct AudioCaptureResult {
    QByteArray wavData;
    qint64 durationMs = 0;
};

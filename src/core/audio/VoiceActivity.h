#pragma once

#include <QByteArray>

// The silence test run on a finished recording before it is uploaded.
namespace VoiceActivity {

// Root mean square of the raw 16-bit sample values after the WAV header; 0 when there are none.
double rms(const QByteArray& wavData);

// Whether the recording is louder than `threshold` (in raw sample units, 300 ≈ 0.9 % of full scale).
bool hasVoiceActivity(const QByteArray& wavData, double threshold);

} // namespace VoiceActivity

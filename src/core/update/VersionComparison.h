#pragma once

#include <QString>

// Whether version `a` is newer than version `b`. Versions are dot-separated decimal numbers;
// empty pieces and pieces that are not whole numbers ("3-beta", "rc1") are dropped and the pieces
// after them move up. Missing positions count as 0, so 1.2 equals 1.2.0; 1.10 is newer than 1.9.
bool isNewerVersion(const QString& a, const QString& b);

#pragma once

#include "core/common/Result.h"

#include <QByteArray>
#include <QString>

// A lasting reference to a file the user chose: its absolute path and, when the file existed, its
// device and inode, so that a file renamed inside its folder is still found.
namespace FileBookmark {

// The bookmark bytes for an absolute path. The file need not exist yet.
Result<QByteArray> create(const QString& absolutePath);

// The file the bookmark points at now: the recorded path when it exists or its folder still does
// (a new file is written there), else the same file under another name in that folder. An error
// when the bookmark is damaged or the folder is gone.
Result<QString> resolve(const QByteArray& bookmark);

} // namespace FileBookmark

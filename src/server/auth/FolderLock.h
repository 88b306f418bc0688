#pragma once

#include <QString>

// An exclusive advisory lock (flock) on a folder, held from construction until destruction, for
// processes and threads that agree to take turns at the files in it. A folder that cannot be opened
// or locked leaves the holder unlocked: callers keep their own guard against a writer that does not
// take the lock.
class FolderLock final {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};

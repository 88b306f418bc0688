// libFuzzer target for the package extractor: whatever the bytes, no crash, no write outside the
// destination, and no more than the limits on disk.
//   cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DORLAVO_FUZZ=ON && cmake --build build/fuzz
//   --target fuzz_archive_extractor && build/fuzz/bench/fuzz_archive_extractor -max_total_time=600
#include "core/update/UpdateInstaller.h"
#include "platform/common/LibarchiveExtractor.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir sandbox;
    const QString archive = sandbox.filePath("input.zip");
    const QString destination = sandbox.filePath("dest");
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
        return 0;
    }
    file.close();
    QDir().mkpath(destination);
    LibarchiveExtractor extractor({.maxEntries = 200, .maxBytes = 4 * 1024 * 1024});
    static_cast<void>(extractor.extract(archive, destination));
    // Only the input and the destination may exist beside each other.
    const QStringList top =
        QDir(sandbox.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (top != QStringList({"dest", "input.zip"})) {
        std::abort();
    }
    UpdateInstaller::removePath(destination);
    return 0;
}

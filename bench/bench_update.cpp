// Unpacking update packages: a typical install folder, and an archive of 200,000 entries that must
// be refused quickly, with nothing left behind once the working folder is removed.
#include "TestArchive.h"
#include "core/update/UpdateError.h"
#include "core/update/UpdateInstaller.h"
#include "platform/common/LibarchiveExtractor.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

using TestArchive::Entry;

QString archiveOf(QTemporaryDir& directory, const QString& name, int files, const QByteArray& content) {
    QList<Entry> entries{Entry::file("Orlavo.app/bin/orlavo", "#!/bin/sh\n", 0755)};
    for (int i = 0; i < files; ++i) {
        entries.append(Entry::file(QString("Orlavo.app/share/%1/f%2").arg(i / 1000).arg(i), content));
    }
    const QString path = directory.filePath(name);
    return TestArchive::writeZip(path, entries) ? path : QString();
}

void unpack(benchmark::State& state, const QString& archive, bool expectRefusal) {
    QTemporaryDir scratch;
    LibarchiveExtractor extractor;
    for (auto _ : state) {
        const QString work = scratch.filePath("work");
        QDir().mkpath(work);
        const auto result = extractor.extract(archive, work);
        if (result.ok() == expectRefusal ||
            (expectRefusal && result.error().code != int(UpdateError::packageTooLarge))) {
            state.SkipWithError("unexpected outcome");
            break;
        }
        state.PauseTiming();
        if (!UpdateInstaller::removePath(work) || !QDir(scratch.path()).isEmpty()) {
            state.SkipWithError("the working folder was not removed");
        }
        state.ResumeTiming();
    }
}

void BM_UnpackTypicalPackage(benchmark::State& state) {
    QTemporaryDir directory;
    const QString archive = archiveOf(directory, "typical.zip", 3000, QByteArray(4096, 'a'));
    unpack(state, archive, false);
}
BENCHMARK(BM_UnpackTypicalPackage)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Refuse200000Entries(benchmark::State& state) {
    QTemporaryDir directory;
    const QString archive = archiveOf(directory, "crowd.zip", 200'000, QByteArray());
    unpack(state, archive, true);
}
BENCHMARK(BM_Refuse200000Entries)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();

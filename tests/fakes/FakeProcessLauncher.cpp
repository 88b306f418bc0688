#include "FakeProcessLauncher.h"

#include "common/ErrorDomain.h"

namespace {

PTTError cannotStart(const QString& program) {
    return PTTError{ErrorDomain::platform, 1, QStringLiteral("Could not start “%1”.").arg(program)};
}

} // namespace

QCoro::Task<Result<int>> FakeProcessLauncher::run(QString program, QStringList arguments) {
    calls.append(Call{program, arguments, false});
    if (failStarts) {
        co_return cannotStart(program);
    }
    co_return exitStatus;
}

Result<void> FakeProcessLauncher::startDetached(const QString& program, const QStringList& arguments) {
    calls.append(Call{program, arguments, true});
    if (failStarts) {
        return cannotStart(program);
    }
    return {};
}

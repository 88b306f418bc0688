#pragma once

#include "core/wire/PTTHealthResponse.h"

#include <QString>
#include <QUrl>

// Which recogniser answers the service at `baseUrl`, in one line for the About section and the
// setup wizard's test step: the offline one, or the OpenAI-compatible service and its host.
namespace ServiceDescription {

QString text(const PTTHealthResponse& health, const QUrl& baseUrl);

} // namespace ServiceDescription

#include "app/commands/TextServices.h"

TextServices::TextServices(const LocalDatabase& database, const Clock& clock)
    : textProcessing(database, appContext)
    , notes(clock) {}

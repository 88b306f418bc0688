#pragma once

#include "context/IAppContextService.h"
#include "notes/INotesService.h"
#include "text/ITextProcessingService.h"

#include <memory>

class LocalDatabase;

// The text-output services a dictation runs through, composed in one place for the commands.
struct TextServices {
    std::unique_ptr<ITextProcessingService> textProcessing;
    std::unique_ptr<IAppContextService> appContext;
    std::unique_ptr<INotesService> notes;
};

TextServices makeTextServices(LocalDatabase& database);

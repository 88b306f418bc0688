#pragma once

#include "core/context/AppContextService.h"
#include "core/notes/NotesService.h"
#include "core/text/TextProcessingService.h"

class Clock;
class LocalDatabase;

// The text-output services a dictation runs through, composed in one place for the commands.
// Declared in dependency order: the text pipeline refers to the app context.
struct TextServices {
    TextServices(const LocalDatabase& database, const Clock& clock);

    AppContextService appContext;
    TextProcessingService textProcessing;
    NotesService notes;
};

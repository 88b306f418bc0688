#pragma once

#include <QStringList>

// `orlavo transcribe FILE.wav [--app NAME]`: the dictation pipeline on a recorded file, against
// the configured service, with the user's settings, dictionary and snippets. Prints the text;
// on failure prints the short message and the full description to standard error.
int runTranscribeCommand(const QStringList& arguments);

#pragma once

#include <QStringList>

// `orlavo text [--lang en|es] [--app NAME]`: the local text pipeline on standard input, with the
// user's dictionary and snippets, printed as it would be typed.
int runTextCommand(const QStringList& arguments);

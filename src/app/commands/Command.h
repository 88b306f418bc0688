#pragma once

#include <QStringList>

// A sub-command of `orlavo`: gets the arguments after its name, answers the exit status.
using CommandFunction = int (*)(const QStringList& arguments);

struct Command {
    const char* name;
    const char* summary;
    CommandFunction run;
};

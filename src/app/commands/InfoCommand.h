#pragma once

#include <QStringList>

// `orlavo --version` and `orlavo paths`.
int runVersionCommand(const QStringList& arguments);
int runPathsCommand(const QStringList& arguments);

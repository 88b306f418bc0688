#pragma once

#include <QStringList>

// `orlavo doctor`: which desktop path would serve each port here, and why, one line each.
int runDoctorCommand(const QStringList& arguments);

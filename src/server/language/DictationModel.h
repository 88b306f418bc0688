#pragma once

#include <string>

// The dictation language model built with the server (see language/CMakeLists.txt).
namespace DictationModel {

// The model file: beside an installed server (<prefix>/bin/../share/orlavo), at the installed
// path it was built for, or in the build tree; empty when none of these exists.
std::string locate();

} // namespace DictationModel

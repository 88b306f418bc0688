#pragma once

#include <QString>

// Text from a recogniser or a language model is typed into whatever has the focus, a terminal
// included, where an escape sequence would be acted on instead of shown.
namespace ControlCharacters {

// Without the C0 and C1 control characters and DEL; tab and line feed stay.
QString strip(const QString& text);

} // namespace ControlCharacters

#pragma once

namespace norvale::stack {

// Writes one fixed diagnostic text of the stack, followed by a newline, to
// stderr, but only when the environment variable NORVALE_DEBUG is set and not
// "0" (read once). Never changes what the caller does next. `text` may be null.
void DebugOutput(const char* text);

}  // namespace norvale::stack

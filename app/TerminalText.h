#pragma once

#include <QString>

namespace norvale::app {

// `text` safe for a terminal: control characters (C0, DEL, C1) and the
// bidirectional overrides, which could move the cursor, clear the screen or
// reorder what follows, are shown as escapes ("\n", "\x1b", "\u202e");
// everything else is kept.
QString TerminalText(const QString& text);

}  // namespace norvale::app

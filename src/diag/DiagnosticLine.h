// The text of one diagnostic line, shared by every reporter that prints one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "diag/Reporter.h"

// How many bytes of a detail a line shows at most; a longer one is cut there
// and marked as cut.
inline constexpr size_t kMaxShownDetailBytes = 300;

// `text` with every control byte (below a blank, but the tab, and DEL) written
// as \xHH, so that no song or path can move the cursor, retitle or clear the
// terminal, or forge a line.
std::string withControlBytesEscaped(std::string_view text);

// "LEVEL: " [file "(" line ") "] message [": " detail] and a line feed. The file
// name is a path and kept as it is; the message and the detail are made ready
// for the console through `toConsole`, except the details that are a path (and
// the system's error text), as the message's entry says. A detail (the path of
// a file message, whose reason is kept) longer than kMaxShownDetailBytes is
// cut between two characters, followed by " ... (N bytes)" with its whole
// size; in the file name and the detail every control
// byte (below a blank, but the tab, and DEL) is written as \xHH, so that no
// song or path can move the cursor, retitle or clear the terminal, or forge a
// line.
std::string diagnosticLine(std::string_view level, std::string_view file, int line,
                           const msg::Message& message, std::string_view detail,
                           ConsoleText toConsole);

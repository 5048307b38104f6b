// The text of one diagnostic line, shared by every reporter that prints one.
#pragma once

#include <string>
#include <string_view>

#include "diag/Reporter.h"

// "LEVEL: " [file "(" line ") "] message [": " detail] and a line feed. The file
// name is a path and kept as it is; the message and the detail are made ready
// for the console through `toConsole`, except the details that are a path (and
// the system's error text), as the message's entry says.
std::string diagnosticLine(std::string_view level, std::string_view file, int line,
                           const msg::Message& message, std::string_view detail,
                           ConsoleText toConsole);

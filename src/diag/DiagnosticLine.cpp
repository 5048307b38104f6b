// Formatting of a diagnostic line.
#include "diag/DiagnosticLine.h"

std::string diagnosticLine(std::string_view level, std::string_view file, int line,
                           const msg::Message& message, std::string_view detail,
                           ConsoleText toConsole) {
    std::string text;
    text.reserve(level.size() + file.size() + message.text.size() + detail.size() + 24);
    text.append(level).append(": ");
    if (!file.empty()) text.append(file).append("(").append(std::to_string(line)).append(") ");
    text.append(toConsole(message.text));
    if (!detail.empty()) {
        text.append(": ");
        // A path as the user typed it is in the console's encoding already.
        if (message.detail == msg::Detail::Path) {
            text.append(detail);
        } else {
            text.append(toConsole(detail));
        }
    }
    text.push_back('\n');
    return text;
}

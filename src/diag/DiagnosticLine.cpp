// Formatting of a diagnostic line.
#include "diag/DiagnosticLine.h"

#include "diag/Messages.h"

namespace {

// Messages whose detail is a path as the user typed it (with, for a file that
// cannot be opened, the system's reason): already in the console's encoding.
bool detailIsTypedPath(std::string_view message) {
    return message == msg::kCannotOpenFile || message == msg::kOutputIsAFileRead ||
           message == msg::kLogNotWritten ||
           message == msg::kOutputsCollide || message == msg::kTooManyMeasures;
}

}  // namespace

std::string diagnosticLine(std::string_view level, std::string_view file, int line,
                           std::string_view message, std::string_view detail,
                           ConsoleText toConsole) {
    std::string text;
    text.reserve(level.size() + file.size() + message.size() + detail.size() + 24);
    text.append(level).append(": ");
    if (!file.empty()) text.append(file).append("(").append(std::to_string(line)).append(") ");
    text.append(toConsole(message));
    if (!detail.empty()) {
        text.append(": ");
        if (detailIsTypedPath(message)) {
            text.append(detail);
        } else {
            text.append(toConsole(detail));
        }
    }
    text.push_back('\n');
    return text;
}

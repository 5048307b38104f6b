// One entry of the message catalogue (diag/Messages.h): a stable id, the text
// in code page 932, and what the detail printed after it holds. Reports name
// the entry, never a text, so whoever reads them (the console, an editor, a
// test) decides by the id and no two entries are told apart by their words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace msg {

// What a message's detail is: text of the program or of a source (shown in
// the console's encoding), or a path as the user typed it, with the system's
// reason for a file that failed (shown unchanged).
enum class Detail : uint8_t { Text, Path };

struct Message {
    // Lower-case words joined by "-"; given once and never changed, so that
    // tools may rely on it.
    std::string_view id;
    std::string_view text;
    Detail detail = Detail::Text;

    constexpr operator std::string_view() const { return text; }
};

// The text appended to a string, as a diagnostic line has it.
inline std::string operator+(std::string line, const Message& message) {
    return line.append(message.text);
}

}  // namespace msg

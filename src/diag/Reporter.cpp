// The reporter: one line per diagnostic on standard output, counted.
#include "diag/Reporter.h"

#include <cstdio>
#include <string>

#include "diag/Messages.h"
#include "text/Encoding.h"

namespace {

class ConsoleReporter final : public Reporter {
public:
    void error(int line, std::string_view message, std::string_view detail) override {
        ++errors_;
        print("ERROR", fileName_, line < 0 ? currentLine_ : line, message, detail);
    }
    void error(std::string_view message, std::string_view detail) override {
        ++errors_;
        print("ERROR", {}, 0, message, detail);
    }
    void warning(int line, std::string_view message, std::string_view detail) override {
        ++warnings_;
        print("WARN", fileName_, line < 0 ? currentLine_ : line, message, detail);
    }
    void warning(std::string_view message, std::string_view detail) override {
        ++warnings_;
        print("WARN", {}, 0, message, detail);
    }
    void setFileName(std::string_view name) override { fileName_.assign(name); }
    void setLine(int line) override { currentLine_ = line; }
    int errorCount() override { return errors_; }
    int warningCount() override { return warnings_; }

private:
    // "LEVEL: " [file "(" line ") "] message [": " detail] LF, then flush. The
    // file name is a path and printed as it is; the message and the detail are
    // made ready for the console (see text/Encoding.h), except the detail of the
    // file-open message, which is a path and the system's error text.
    static void print(std::string_view level, std::string_view file, int line,
                      std::string_view message, std::string_view detail) {
        std::string text;
        text.reserve(level.size() + file.size() + message.size() + detail.size() + 24);
        text.append(level).append(": ");
        if (!file.empty()) text.append(file).append("(").append(std::to_string(line)).append(") ");
        text.append(consoleText(message));
        if (!detail.empty()) {
            text.append(": ");
            if (message == msg::kCannotOpenFile) {
                text.append(detail);
            } else {
                text.append(consoleText(detail));
            }
        }
        text.push_back('\n');
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }

    int errors_ = 0;
    int warnings_ = 0;
    std::string fileName_;
    int currentLine_ = 0;
};

}  // namespace

Reporter& getReporter() {
    static Reporter* instance = new ConsoleReporter();
    return *instance;
}

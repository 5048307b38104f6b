// Reports kept to be made later, in the order they came: a piece of work done
// beside others (one output of a run, written on a thread of its own) records
// what it reports, and the run hands the records on in the order the work
// would have been done one piece after another, so that what the console shows
// does not depend on which piece finished first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "diag/Message.h"
#include "diag/Reporter.h"

class ReportRecorder final : public Reporter {
public:
    void error(int line, const msg::Message& message, std::string_view detail) override;
    void error(const msg::Message& message, std::string_view detail) override;
    void warning(int line, const msg::Message& message, std::string_view detail) override;
    void warning(const msg::Message& message, std::string_view detail) override;
    void setFileName(std::string_view name) override;
    void setLine(int line) override;
    // The reports recorded, not those of the reporter they go to.
    int errorCount() override { return errors_; }
    int warningCount() override { return warnings_; }
    bool hasErrors() const { return errors_ > 0; }

    // Makes every recorded report and setting through `reporter`, in order, and forgets them.
    void replayInto(Reporter& reporter);

private:
    enum class Kind { Error, Warning, FileName, Line };
    // A report or a setting.
    struct Record {
        Kind kind;
        bool positioned;  // a report made with a line
        int line;
        msg::Message message;
        std::string text;  // the detail, or the file name
    };
    void add(Kind kind, bool positioned, int line, const msg::Message& message,
             std::string_view text);

    std::vector<Record> records_;
    int errors_ = 0;
    int warnings_ = 0;
};

// While it lives, what this thread reports through getReporter() goes to
// `recorder`; other threads report as before.
class ReportsRecordedOnThisThread {
public:
    explicit ReportsRecordedOnThisThread(ReportRecorder& recorder);
    ~ReportsRecordedOnThisThread();
    ReportsRecordedOnThisThread(const ReportsRecordedOnThisThread&) = delete;
    ReportsRecordedOnThisThread& operator=(const ReportsRecordedOnThisThread&) = delete;

private:
    Reporter* before_;
};

// The reports of one run, collected as records (diag/Diagnostic.h) for
// whoever runs it to read: the console, watch mode, an editor, a test. Each
// module of the run reports here with the location of the token or command
// the report is about. A run that shows its reports prints each of them the
// moment it is made, through the process-wide reporter, byte for byte as the
// program always has; one that does not touches nothing outside itself, so
// such runs may go on side by side (on threads of their own).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "diag/Diagnostic.h"
#include "diag/Message.h"
#include "song/SourceLocation.h"
#include "song/SourceMap.h"

// Told of every positioned report the moment the console has shown its line:
// the console's source excerpts follow that line this way.
class ShownReportFollower {
public:
    virtual ~ShownReportFollower() = default;
    virtual void shown(const Diagnostic& record) = 0;
};

class Diagnostics {
public:
    // A run keeps the records of this many reports; it counts every report.
    static constexpr size_t kMaxRecords = 10'000;

    // `files` names the files of the locations and holds the macro uses; it
    // must outlive the collector.
    explicit Diagnostics(const SourceMap& files);
    ~Diagnostics();
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    // From now on what modules report through the process-wide reporter (the
    // writers do) is collected here too, until the collector is destroyed.
    // One collector at a time may do so.
    void collectFromProcess();
    // From now on every report is also printed on the console; and as above.
    void showOnConsole();
    // From now on `follower` (null: none) is told of every positioned report
    // shown on the console; it must outlive the reports made while it follows.
    void followShownReports(ShownReportFollower* follower) { follower_ = follower; }

    // A report about the token or command at `about`. The console names the
    // file it stands in as read and the line it stands on there, or
    // `consoleLine` where given: the line the program has always named, which
    // for some reports is the line after (Diagnostics.cpp says which).
    void error(const msg::Message& message, const SourceLocation& about,
               std::string_view detail = {});
    void error(const msg::Message& message, const SourceLocation& about, int32_t consoleLine,
               std::string_view detail);
    void warning(const msg::Message& message, const SourceLocation& about,
                 std::string_view detail = {});
    void warning(const msg::Message& message, const SourceLocation& about, int32_t consoleLine,
                 std::string_view detail);
    // An error with a note (DiagnosticNote) saying more than its message.
    void error(const msg::Message& message, const SourceLocation& about, int32_t consoleLine,
               std::string_view detail, DiagnosticNote note);
    // Reports without a position.
    void error(const msg::Message& message, std::string_view detail);
    void warning(const msg::Message& message, std::string_view detail);

    // Keeps a report that the process-wide reporter has shown already.
    void collectShown(Severity severity, const msg::Message& message, std::string_view detail);

    // The first kMaxRecords reports, in the order they were made.
    const std::vector<Diagnostic>& records() const { return records_; }
    int errorCount() const { return errors_; }
    int warningCount() const { return warnings_; }
    // Whether an error of this catalogue entry was reported, kept or not.
    bool errorReported(const msg::Message& message) const;
    const SourceMap& files() const { return files_; }

private:
    void report(Severity severity, const msg::Message& message, const SourceLocation* about,
                int32_t consoleLine, std::string_view detail, bool show,
                DiagnosticNote note = {});
    void show(const Diagnostic& record, int32_t consoleLine) const;
    std::vector<DiagnosticStep> chainOf(const SourceLocation& about,
                                        const SourceLocation& location) const;

    const SourceMap& files_;
    bool collecting_ = false;
    bool shown_ = false;
    ShownReportFollower* follower_ = nullptr;
    std::vector<Diagnostic> records_;
    std::vector<std::string_view> errorIds_;  // each id once: the catalogue is small
    int errors_ = 0;
    int warnings_ = 0;
};

// The run's collector of reports. The console line of a positioned report is
// the one the program has always printed: the file the thing stands in as read
// and, unless the reporter says otherwise, the line it stands on there. The
// reporters that say otherwise keep the program's old lines: the command
// parser and the compiler name the line of the token the parser took last,
// which after a length or a parameter list is the token after the command;
// the tokenizer and the preprocessor, for some reports, the line the file is
// read at, which is the next line once a line feed has been read.
#include "diag/Diagnostics.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>

#include "diag/Reporter.h"

Diagnostics::Diagnostics(const SourceMap& files) : files_(files) {}

Diagnostics::~Diagnostics() {
    if (collecting_) stopCollectingConsoleReports(*this);
}

void Diagnostics::collectFromProcess() {
    collecting_ = true;
    collectConsoleReportsInto(*this);
}

void Diagnostics::showOnConsole() {
    shown_ = true;
    collectFromProcess();
}

void Diagnostics::error(const msg::Message& message, const SourceLocation& about,
                        std::string_view detail) {
    report(Severity::Error, message, &about, -1, detail, shown_);
}

void Diagnostics::error(const msg::Message& message, const SourceLocation& about,
                        int32_t consoleLine, std::string_view detail) {
    report(Severity::Error, message, &about, consoleLine, detail, shown_);
}

void Diagnostics::error(const msg::Message& message, const SourceLocation& about,
                        int32_t consoleLine, std::string_view detail, DiagnosticNote note) {
    report(Severity::Error, message, &about, consoleLine, detail, shown_, std::move(note));
}

void Diagnostics::warning(const msg::Message& message, const SourceLocation& about,
                          std::string_view detail) {
    report(Severity::Warning, message, &about, -1, detail, shown_);
}

void Diagnostics::warning(const msg::Message& message, const SourceLocation& about,
                          int32_t consoleLine, std::string_view detail) {
    report(Severity::Warning, message, &about, consoleLine, detail, shown_);
}

void Diagnostics::error(const msg::Message& message, std::string_view detail) {
    report(Severity::Error, message, nullptr, -1, detail, shown_);
}

void Diagnostics::warning(const msg::Message& message, std::string_view detail) {
    report(Severity::Warning, message, nullptr, -1, detail, shown_);
}

void Diagnostics::collectShown(Severity severity, const msg::Message& message,
                               std::string_view detail) {
    report(severity, message, nullptr, -1, detail, false);
}

bool Diagnostics::errorReported(const msg::Message& message) const {
    return std::find(errorIds_.begin(), errorIds_.end(), message.id) != errorIds_.end();
}

void Diagnostics::report(Severity severity, const msg::Message& message,
                         const SourceLocation* about, int32_t consoleLine,
                         std::string_view detail, bool show, DiagnosticNote note) {
    // Counted in full, held at the largest int a count can show.
    int& count = severity == Severity::Error ? errors_ : warnings_;
    if (count < INT_MAX) ++count;
    if (severity == Severity::Error && !errorReported(message)) errorIds_.push_back(message.id);

    Diagnostic record;
    record.severity = severity;
    record.message = &message;
    record.detail.assign(detail);
    if (about != nullptr) {
        record.location = files_.expansionLocation(*about);
        record.chain = chainOf(*about, record.location);
    }
    record.note.text = std::move(note.text);
    if (note.location.known()) record.note.location = files_.expansionLocation(note.location);
    if (show) this->show(record, about == nullptr || consoleLine >= 0 ? consoleLine
                                                                      : record.location.line);
    if (records_.size() < kMaxRecords) records_.push_back(std::move(record));
}

void Diagnostics::show(const Diagnostic& record, int32_t consoleLine) const {
    Reporter& console = consoleOfProcess();
    const bool error = record.severity == Severity::Error;
    if (!record.location.known()) {
        if (error) {
            console.error(*record.message, record.detail);
        } else {
            console.warning(*record.message, record.detail);
        }
        return;
    }
    console.setFileName(files_.fileName(record.location.file));
    if (error) {
        console.error(consoleLine, *record.message, record.detail);
    } else {
        console.warning(consoleLine, *record.message, record.detail);
    }
    if (follower_ != nullptr) follower_->shown(record);
}

std::vector<DiagnosticStep> Diagnostics::chainOf(const SourceLocation& about,
                                                 const SourceLocation& location) const {
    std::vector<DiagnosticStep> chain;
    if (about.expansion != 0) {
        chain.push_back({DiagnosticStep::Kind::WrittenInMacro, about});
        // Every use but the outermost, which is the record's own location.
        for (SourceLocation use = files_.use(about.expansion); use.expansion != 0;
             use = files_.use(use.expansion)) {
            chain.push_back({DiagnosticStep::Kind::MacroUse, use});
        }
    }
    // A file is included once, and only by a file opened before it, so the
    // directives lead out to the main source.
    for (SourceLocation from = files_.includedFrom(location.file); from.known();
         from = files_.includedFrom(from.file)) {
        chain.push_back({DiagnosticStep::Kind::IncludedFrom, from});
    }
    return chain;
}

// Recording reports and making them again later.
#include "diag/ReportRecorder.h"

#include <utility>

void ReportRecorder::add(Kind kind, bool positioned, int line, const msg::Message& message,
                         std::string_view text) {
    records_.push_back({kind, positioned, line, message, std::string(text)});
    if (kind == Kind::Error) ++errors_;
    if (kind == Kind::Warning) ++warnings_;
}

void ReportRecorder::error(int line, const msg::Message& message, std::string_view detail) {
    add(Kind::Error, true, line, message, detail);
}

void ReportRecorder::error(const msg::Message& message, std::string_view detail) {
    add(Kind::Error, false, 0, message, detail);
}

void ReportRecorder::warning(int line, const msg::Message& message, std::string_view detail) {
    add(Kind::Warning, true, line, message, detail);
}

void ReportRecorder::warning(const msg::Message& message, std::string_view detail) {
    add(Kind::Warning, false, 0, message, detail);
}

void ReportRecorder::setFileName(std::string_view name) { add(Kind::FileName, false, 0, {}, name); }

void ReportRecorder::setLine(int line) { add(Kind::Line, false, line, {}, {}); }

void ReportRecorder::replayInto(Reporter& reporter) {
    const std::vector<Record> records = std::move(records_);
    records_.clear();
    errors_ = 0;
    warnings_ = 0;
    for (const Record& record : records) {
        switch (record.kind) {
            case Kind::Error:
                if (record.positioned) {
                    reporter.error(record.line, record.message, record.text);
                } else {
                    reporter.error(record.message, record.text);
                }
                break;
            case Kind::Warning:
                if (record.positioned) {
                    reporter.warning(record.line, record.message, record.text);
                } else {
                    reporter.warning(record.message, record.text);
                }
                break;
            case Kind::FileName:
                reporter.setFileName(record.text);
                break;
            case Kind::Line:
                reporter.setLine(record.line);
                break;
        }
    }
}

ReportsRecordedOnThisThread::ReportsRecordedOnThisThread(ReportRecorder& recorder)
    : before_(reportThisThreadTo(&recorder)) {}

ReportsRecordedOnThisThread::~ReportsRecordedOnThisThread() { reportThisThreadTo(before_); }

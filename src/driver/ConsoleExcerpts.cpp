// The console's source excerpts. A file is read again when a report first
// names it, held with the start of each line, and given up when it is larger
// than an excerpt is worth; after a number of reports, or of bytes of lines
// walked, no more excerpts follow, so a source full of errors can neither
// flood the console nor slow the run down.
#include "driver/ConsoleExcerpts.h"

#include <cstdio>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "diag/DiagnosticLine.h"
#include "driver/SourceExcerpt.h"
#include "platform/Platform.h"
#include "song/SourceMap.h"
#include "text/Encoding.h"
#include "text/SourceProvider.h"

namespace {

constexpr int kMaxExcerptedReports = 200;
constexpr size_t kMaxExcerptedFileBytes = size_t{16} << 20;
// The bytes of lines a run walks for its excerpts at most: a few huge lines
// with many reports on each cannot make the excerpts cost more than the run.
constexpr size_t kMaxWalkedLineBytes = size_t{64} << 20;
constexpr char kCtrlZ = '\x1A';

constexpr std::string_view kErrorColour = "\x1B[1;31m";
constexpr std::string_view kWarningColour = "\x1B[1;35m";
constexpr std::string_view kNoteColour = "\x1B[1;36m";
constexpr std::string_view kPlainColour = "\x1B[0m";

// A file's text as the program reads it: up to a Ctrl-Z, without a byte order
// mark, with where each line starts.
struct HeldFile {
    std::string bytes;
    std::vector<size_t> lineStarts;
    bool utf8 = false;

    // Line `number` (from 1) without its line end, or nothing past the last.
    std::optional<std::string_view> line(int32_t number) const {
        if (number < 1 || static_cast<size_t>(number) > lineStarts.size()) return std::nullopt;
        const auto index = static_cast<size_t>(number - 1);
        const size_t start = lineStarts[index];
        size_t end = index + 1 < lineStarts.size() ? lineStarts[index + 1] - 1 : bytes.size();
        if (end > start && bytes[end - 1] == '\r') --end;
        return std::string_view(bytes).substr(start, end - start);
    }
};

class ConsoleExcerpts final : public ShownReportFollower {
public:
    ConsoleExcerpts(SourceProvider& sources, const SourceMap& files, bool utf8Sources,
                    std::string cp932File)
        : sources_(sources), files_(files), utf8Sources_(utf8Sources),
          cp932File_(std::move(cp932File)), colour_(platform::standardErrorIsTerminal()) {}

    void shown(const Diagnostic& record) override {
        if (shownReports_ >= kMaxExcerptedReports) return;
        ++shownReports_;
        const std::string_view colour =
            record.severity == Severity::Error ? kErrorColour : kWarningColour;
        std::string text;
        appendExcerpt(text, record.location, colour);
        if (!record.note.text.empty()) {
            appendNote(text, record.note.text);
            if (record.note.location.known()) appendPlace(text, record.note.location, colour);
        }
        if (!record.chain.empty() && record.chain.front().kind == DiagnosticStep::Kind::WrittenInMacro) {
            appendNote(text, "made by a macro; its body writes it here");
            appendPlace(text, record.chain.front().location, colour);
        }
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }

private:
    void appendNote(std::string& text, std::string_view note) const {
        if (colour_) text.append(kNoteColour);
        text.append("note:");
        if (colour_) text.append(kPlainColour);
        text.append(" ").append(withControlBytesEscaped(consoleText(note))).push_back('\n');
    }

    // "  --> file(line)" and the excerpt of `at`.
    void appendPlace(std::string& text, const SourceLocation& at, std::string_view colour) {
        text.append("  --> ")
            .append(withControlBytesEscaped(files_.fileName(at.file)))
            .append("(")
            .append(std::to_string(at.line))
            .append(")\n");
        appendExcerpt(text, at, colour);
    }

    // " line | text" and "      | marker", or nothing for a line not read.
    void appendExcerpt(std::string& text, const SourceLocation& at, std::string_view colour) {
        const HeldFile* file = held(at.file);
        if (file == nullptr) return;
        const std::optional<std::string_view> line = file->line(at.line);
        if (!line || line->size() > kMaxWalkedLineBytes - walkedLineBytes_) return;
        walkedLineBytes_ += line->size();
        const SourceExcerpt excerpt = sourceExcerpt(*line, file->utf8, at.column, at.endColumn);
        std::string number = std::to_string(at.line);
        if (number.size() < 4) number.insert(0, 4 - number.size(), ' ');
        text.append(" ").append(number).append(" | ").append(excerpt.text).push_back('\n');
        text.append(number.size() + 1, ' ').append(" | ");
        if (colour_) text.append(colour);
        text.append(excerpt.marker);
        if (colour_) text.append(kPlainColour);
        text.push_back('\n');
    }

    // The file of `id` as read again, or null when it cannot be.
    const HeldFile* held(int32_t id) {
        const auto found = heldFiles_.find(id);
        if (found != heldFiles_.end()) return found->second ? &*found->second : nullptr;
        std::optional<HeldFile>& slot = heldFiles_[id];
        slot = read(files_.fileName(id));
        return slot ? &*slot : nullptr;
    }

    std::optional<HeldFile> read(const std::string& name) {
        if (name.empty()) return std::nullopt;
        std::optional<std::string> bytes = readWholeFile(sources_, name, kMaxExcerptedFileBytes);
        if (!bytes) return std::nullopt;
        HeldFile file;
        file.bytes = std::move(*bytes);
        file.utf8 = utf8Sources_ && name != cp932File_;
        if (file.bytes.starts_with(kUtf8ByteOrderMark)) {
            file.bytes.erase(0, kUtf8ByteOrderMark.size());
            file.utf8 = true;
        }
        const size_t end = file.bytes.find(kCtrlZ);
        if (end != std::string::npos) file.bytes.resize(end);
        file.lineStarts.push_back(0);
        for (size_t at = file.bytes.find('\n'); at != std::string::npos;
             at = file.bytes.find('\n', at + 1)) {
            file.lineStarts.push_back(at + 1);
        }
        return file;
    }

    SourceProvider& sources_;
    const SourceMap& files_;
    bool utf8Sources_;
    std::string cp932File_;
    bool colour_;
    int shownReports_ = 0;
    size_t walkedLineBytes_ = 0;
    std::map<int32_t, std::optional<HeldFile>> heldFiles_;
};

}  // namespace

std::unique_ptr<ShownReportFollower> createConsoleExcerpts(SourceProvider& sources,
                                                           const SourceMap& files,
                                                           bool utf8Sources,
                                                           std::string cp932File) {
    return std::make_unique<ConsoleExcerpts>(sources, files, utf8Sources, std::move(cp932File));
}

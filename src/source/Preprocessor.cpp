// The preprocessor: a stack of open source files, one tokenizer each, joined
// into one token stream. Directives and macro uses are acted on here and never
// reach the reader of the stream; neither does the end of an included file.
#include "source/Preprocessor.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "diag/Messages.h"
#include "source/IncludeSearch.h"
#include "source/MacroExpander.h"
#include "source/MacroTable.h"
#include "source/PreprocessorSteps.h"
#include "source/SourceReader.h"
#include "source/Tokenizer.h"
#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

const std::u16string kInclude = u"include";
const std::u16string kEqu = u"equ";
const std::u16string kMacro = u"macro";

// Files brought in by include during one run. Paths that differ only in their
// spelling are different files to the include set, so a few files that include
// their successors by two spellings each would otherwise open an exponential
// number of paths.
constexpr size_t kMaxIncludedFiles = 1024;

struct OpenFile {
    std::unique_ptr<Tokenizer> tokenizer;
    std::unique_ptr<SourceReader> ownedSource;  // null for the main source
};

class PreprocessorImpl final : public Preprocessor {
public:
    PreprocessorImpl() : macros_(createMacroTable()) {}

    ~PreprocessorImpl() override {
        while (!files_.empty()) closeCurrentFile();
    }

    int start(SourceReader* mainSource, StringPool* pool,
              const std::vector<std::string>* includeDirectories) override {
        while (!files_.empty()) closeCurrentFile();
        pending_.clear();
        pendingIndex_ = 0;
        included_.clear();
        pool_ = pool;
        includeDirectories_ = includeDirectories;
        expander_.reset();
        if (pool_ != nullptr) expander_ = createMacroExpander(*macros_, *pool_);
        if (mainSource != nullptr && pool_ != nullptr) openFile(mainSource, nullptr);
        return 0;
    }

    int nextToken(Token& token, SourceLocation& location) override {
        if (takePending(token, location)) return token.kind;
        for (;;) {
            if (files_.empty()) {
                token = end_.token;
                location = end_.location;
                return TokEnd;
            }
            Tokenizer& input = *files_.back().tokenizer;
            input.read(token, location);
            switch (token.kind) {
            case TokNone:
                reportAtCurrent(input, location, msg::kFatalError);
                token.kind = TokInvalid;
                return TokInvalid;
            case TokEnd:
                // The end of an included file is not delivered; that of the
                // main source is, and stays the end for every later call.
                closeCurrentFile();
                if (!files_.empty()) continue;
                end_ = LocatedToken{token, location};
                return TokEnd;
            case TokDirective:
            case TokMacroArg:
            case TokMacroRef:
            case TokMacroCall: {
                LocatedToken read{token, location};
                act(read, input);
                if (read.token.kind != TokNone) {
                    token = read.token;
                    return token.kind;
                }
                if (takePending(token, location)) return token.kind;
                continue;
            }
            default:
                return token.kind;
            }
        }
    }

private:
    // Acts on a directive, an argument reference out of place or a macro use
    // of the main stream. Its kind becomes TokNone when it was consumed,
    // TokInvalid when it failed.
    void act(LocatedToken& read, Tokenizer& input) {
        if (read.token.kind == TokDirective) {
            runDirective(read, input);
        } else if (read.token.kind == TokMacroArg) {
            reportAtToken(input, read, msg::kMacroArgOutsideMacro);
        } else {
            expander_->expandUse(read, input, pending_);
        }
    }

    bool takePending(Token& token, SourceLocation& location) {
        if (pendingIndex_ >= pending_.size()) return false;
        const LocatedToken& next = pending_[pendingIndex_++];
        token = next.token;
        location = next.location;
        if (pendingIndex_ == pending_.size()) {
            pending_.clear();
            pendingIndex_ = 0;
        }
        return true;
    }

    void openFile(SourceReader* source, std::unique_ptr<SourceReader> owned) {
        OpenFile file{createTokenizer(), std::move(owned)};
        file.tokenizer->attach(source, pool_);
        files_.push_back(std::move(file));
    }

    // The tokenizer goes first: it reads from the source destroyed after it.
    void closeCurrentFile() {
        OpenFile& file = files_.back();
        file.tokenizer.reset();
        file.ownedSource.reset();
        files_.pop_back();
    }

    void runDirective(LocatedToken& directive, Tokenizer& input) {
        const std::u16string* name = pool_->get(directive.token.value);
        if (name != nullptr && *name == kInclude) {
            include(directive, input);
        } else if (name != nullptr && *name == kEqu) {
            expander_->defineOneLine(directive, input);
        } else if (name != nullptr && *name == kMacro) {
            expander_->defineBlock(directive, input);
        } else {
            reportAtCurrent(input, directive.location, msg::kUnknownDirective);
            directive.token.kind = TokInvalid;
        }
    }

    void include(LocatedToken& directive, Tokenizer& input) {
        LocatedToken operand;
        if (readOperand(input, operand) != TokString) {
            reportAtToken(input, directive, msg::kStringRequired);
            return;
        }
        const std::u16string* text = pool_->get(operand.token.value);
        const std::string name = text != nullptr ? codesToBytes(*text) : std::string();
        static const std::vector<std::string> kNoDirectories;
        const TextReading& reading = input.source()->reading();
        const std::string path =
            findIncludeFile(name, input.source()->fileName(),
                            includeDirectories_ != nullptr ? *includeDirectories_ : kNoDirectories,
                            reading.sources);
        if (path.empty()) {
            reportAtToken(input, directive, msg::kIncludeNotFound, name);
            return;
        }
        directive.token.kind = TokNone;
        if (included_.count(path) != 0) return;  // brought in before: nothing to read
        if (included_.size() >= kMaxIncludedFiles) {
            reportAtToken(input, directive, msg::kTooManyIncludes, name);
            return;
        }
        included_.insert(path);
        auto source = createSourceReader(path, reading, directive.location);
        if (!source) {
            directive.token.kind = TokInvalid;
            return;
        }
        SourceReader* reader = source.get();
        openFile(reader, std::move(source));
    }

    std::unique_ptr<MacroTable> macros_;
    std::unique_ptr<MacroExpander> expander_;
    StringPool* pool_ = nullptr;
    std::vector<OpenFile> files_;
    std::vector<LocatedToken> pending_;  // expansion tokens not yet delivered, from pendingIndex_ on
    size_t pendingIndex_ = 0;
    const std::vector<std::string>* includeDirectories_ = nullptr;
    std::unordered_set<std::string> included_;
    LocatedToken end_{Token{TokEnd, 0, 0}, {}};  // the end of the main source, once read
};

}  // namespace

std::unique_ptr<Preprocessor> createPreprocessor() { return std::make_unique<PreprocessorImpl>(); }

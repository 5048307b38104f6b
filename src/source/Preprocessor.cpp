// The preprocessor: a stack of open source files, one tokenizer each, joined
// into one token stream. Directives and macro uses are acted on here and never
// reach the reader of the stream; neither does the end of an included file.
#include "source/Preprocessor.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "diag/Messages.h"
#include "diag/Reporter.h"
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

    int nextToken(Token& token) override {
        if (takePending(token)) return token.kind;
        for (;;) {
            if (files_.empty()) {
                token = Token{TokEnd, 0, endLine_};
                return TokEnd;
            }
            Tokenizer& input = *files_.back().tokenizer;
            input.read(token);
            if (token.kind == TokNone) {
                reportAtCurrent(&input, msg::kFatalError);
                token.kind = TokInvalid;
                return TokInvalid;
            }
            if (token.kind == TokEnd) {
                closeCurrentFile();
                if (files_.empty()) {
                    endLine_ = token.line;
                    return TokEnd;
                }
                nameCurrentFile();
                continue;
            }
            switch (token.kind) {
            case TokDirective:
                runDirective(token, input);
                break;
            case TokMacroArg:
                reportAtToken(token, msg::kMacroArgOutsideMacro);
                break;
            case TokMacroRef:
            case TokMacroCall:
                expander_->expandUse(token, input, pending_);
                break;
            default:
                break;
            }
            if (token.kind != TokNone) return token.kind;
            if (takePending(token)) return token.kind;
        }
    }

private:
    bool takePending(Token& token) {
        if (pendingIndex_ >= pending_.size()) return false;
        token = pending_[pendingIndex_++];
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
        nameCurrentFile();
    }

    // Makes the reporter name the file on top of the stack.
    void nameCurrentFile() {
        const SourceReader* source = files_.back().tokenizer->source();
        getReporter().setFileName(source->fileName());
        getReporter().setLine(source->line());
    }

    // The tokenizer goes first: it reads from the source destroyed after it.
    void closeCurrentFile() {
        OpenFile& file = files_.back();
        file.tokenizer.reset();
        file.ownedSource.reset();
        files_.pop_back();
    }

    void runDirective(Token& directive, Tokenizer& input) {
        const std::u16string* name = pool_->get(directive.value);
        if (name != nullptr && *name == kInclude) {
            include(directive, input);
        } else if (name != nullptr && *name == kEqu) {
            expander_->defineOneLine(directive, input);
        } else if (name != nullptr && *name == kMacro) {
            expander_->defineBlock(directive, input);
        } else {
            reportAtCurrent(&input, msg::kUnknownDirective);
            directive.kind = TokInvalid;
        }
    }

    void include(Token& directive, Tokenizer& input) {
        Token operand;
        if (readOperand(input, operand) != TokString) {
            reportAtToken(directive, msg::kStringRequired);
            return;
        }
        const std::u16string* text = pool_->get(operand.value);
        const std::string name = text != nullptr ? codesToBytes(*text) : std::string();
        static const std::vector<std::string> kNoDirectories;
        const std::string path =
            findIncludeFile(name, input.source()->fileName(),
                            includeDirectories_ != nullptr ? *includeDirectories_ : kNoDirectories);
        if (path.empty()) {
            reportAtToken(directive, msg::kIncludeNotFound, name);
            return;
        }
        directive.kind = TokNone;
        if (included_.count(path) != 0) return;  // brought in before: nothing to read
        if (included_.size() >= kMaxIncludedFiles) {
            reportAtToken(directive, msg::kTooManyIncludes, name);
            return;
        }
        included_.insert(path);
        auto source = createSourceReader(path, input.source()->reading());
        if (!source) {
            directive.kind = TokInvalid;
            return;
        }
        SourceReader* reader = source.get();
        openFile(reader, std::move(source));
    }

    std::unique_ptr<MacroTable> macros_;
    std::unique_ptr<MacroExpander> expander_;
    StringPool* pool_ = nullptr;
    std::vector<OpenFile> files_;
    std::vector<Token> pending_;  // expansion tokens not yet delivered, from pendingIndex_ on
    size_t pendingIndex_ = 0;
    const std::vector<std::string>* includeDirectories_ = nullptr;
    std::unordered_set<std::string> included_;
    int endLine_ = 0;
};

}  // namespace

std::unique_ptr<Preprocessor> createPreprocessor() { return std::make_unique<PreprocessorImpl>(); }

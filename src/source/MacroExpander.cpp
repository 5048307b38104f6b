// Macro definition and expansion. Expansion works on tokens. Block bodies are
// stored as written and expanded at every use; one-line bodies are expanded
// once, when they are defined.
//
// A token a use makes keeps where it is written and gets the use as its
// expansion (song/SourceLocation.h): the uses being expanded are a stack of
// frames, each taking its id in the run's map only once a token needs it, so
// uses that make nothing cost the map nothing. The tokens a one-line body got
// from the uses in it when it was defined are given the use of the one-line
// macro alone; the uses of its definition are not kept for them.
//
// Every expansion runs on a budget: it may produce at most a million tokens
// (arguments and output together), take a bounded number of steps, and nest
// argument lists only so deep. Without it a few lines of definitions that
// double at each level could ask for billions of tokens or hours of work. All
// expansions of a run draw on a larger common budget too, so that many uses
// that each stay within their own budget cannot add up to the same.
#include "source/MacroExpander.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "diag/Messages.h"
#include "song/SourceMap.h"
#include "source/MacroTable.h"
#include "source/PreprocessorSteps.h"
#include "source/SourceReader.h"
#include "source/Tokenizer.h"
#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

constexpr int kMaxDepth = 32;
constexpr int kMaxArgumentNesting = 256;
constexpr size_t kMaxTokensPerExpansion = 1'000'000;
constexpr uint64_t kMaxStepsPerExpansion = 16'000'000;
// The whole run; this bounds the one-line bodies kept after their expansion too.
constexpr size_t kMaxTokensPerRun = 4'000'000;
constexpr uint64_t kMaxStepsPerRun = 32'000'000;

constexpr int32_t kOpenBrace = '{';
constexpr int32_t kCloseBrace = '}';
constexpr int32_t kComma = ',';

using Tokens = std::vector<LocatedToken>;
using Arguments = std::vector<Tokens>;

// A use being expanded: where its token is, and its id in the run's map once
// a token has needed it (kNotMade before, kCannotBeMade when the map is full).
struct Frame {
    static constexpr int32_t kNotMade = 0;
    static constexpr int32_t kCannotBeMade = -1;
    SourceLocation use;
    int32_t id = kNotMade;
};

class MacroExpanderImpl final : public MacroExpander {
public:
    MacroExpanderImpl(MacroTable& table, StringPool& pool) : table_(table), pool_(pool) {}

    void defineOneLine(LocatedToken& directive, Tokenizer& input) override {
        begin(input, directive.location);
        std::u16string name;
        if (!readNewName(directive, name)) return;
        beginBudget(kMaxTokensPerExpansion);
        Tokens body;
        if (!readBody(body, TokNewline, true, 0)) {
            directive.token.kind = TokInvalid;
            return;
        }
        table_.define(name, MacroDefinition::kOneLine, std::move(body));
        directive.token.kind = TokNone;
    }

    void defineBlock(LocatedToken& directive, Tokenizer& input) override {
        begin(input, directive.location);
        std::u16string name;
        if (!readNewName(directive, name)) return;
        LocatedToken brace;
        if (readOperand(input, brace) != kOpenBrace) {
            reportAtToken(input, directive, msg::kOpenBraceRequired);
            return;
        }
        beginBudget(0);  // nothing is expanded while a block body is read
        Tokens body;
        if (!readBody(body, kCloseBrace, false, 0)) {
            directive.token.kind = TokInvalid;
            return;
        }
        table_.define(name, MacroDefinition::kBlock, std::move(body));
        directive.token.kind = TokNone;
    }

    void expandUse(LocatedToken& use, Tokenizer& input, Tokens& queue) override {
        begin(input, use.location);
        beginBudget(kMaxTokensPerExpansion);
        Tokens list{use};
        if (use.token.kind == TokMacroCall) {
            if (!readBody(list, kCloseBrace, false, 1)) {
                use.token.kind = TokInvalid;
                return;
            }
        }
        Tokens output;
        if (!expandList(list, nullptr, output, 0)) {
            use.token.kind = TokInvalid;
            return;
        }
        for (LocatedToken& made : output) {
            made.token.line = use.token.line;
            queue.push_back(made);
        }
        use.token.kind = TokNone;
    }

private:
    // Every definition and use starts here: the file it reads and where the
    // run's macro uses are kept, and what its reports are about until a use is
    // being expanded.
    void begin(Tokenizer& input, const SourceLocation& origin) {
        input_ = &input;
        map_ = &input.source()->reading().files;
        origin_ = origin;
        frames_.clear();
    }

    // What a report of the expansion is about: the use being expanded, or the
    // directive or use it started from.
    const SourceLocation& about() const { return frames_.empty() ? origin_ : frames_.back().use; }

    void reportAtCurrent(const msg::Message& message, std::string_view detail = {}) {
        ::reportAtCurrent(*input_, about(), message, detail);
    }

    // The name operand of a definition, which must be a plain use form naming a
    // macro not defined yet. False (the directive turned invalid) otherwise.
    bool readNewName(LocatedToken& directive, std::u16string& name) {
        LocatedToken operand;
        if (readOperand(*input_, operand) != TokMacroRef) {
            reportAtToken(*input_, directive, msg::kMacroNameRequired);
            return false;
        }
        const std::u16string* text = pool_.get(operand.token.value);
        if (text == nullptr) {
            reportAtToken(*input_, directive, msg::kFatalError);
            return false;
        }
        if (table_.find(*text) != nullptr) {
            reportAtToken(*input_, directive, msg::kMacroRedefined, codesToBytes(*text));
            return false;
        }
        name = *text;
        return true;
    }

    // Raw tokens into `list` up to the ending kind (consumed; a "}" ending a
    // nested argument list is stored as a plain "}"). In the one-line form the
    // stretch from the first use on is expanded as soon as the body (or
    // argument list) is complete.
    bool readBody(Tokens& list, int32_t endKind, bool oneLine, int nesting) {
        size_t firstUse = SIZE_MAX;
        LocatedToken read;
        Token& token = read.token;
        for (;;) {
            input_->read(token, read.location);
            if (token.kind == endKind) break;
            switch (token.kind) {
            case TokEnd:
                reportAtToken(*input_, read, msg::kUnexpectedEof);
                return false;
            case TokInvalid:
                return false;
            case TokSpace:
                if (!list.empty()) list.push_back(read);
                break;
            case TokDirective:
                reportAtToken(*input_, read, msg::kDirectiveNotAllowedHere);
                return false;
            case TokMacroArg:
                if (oneLine) {
                    reportAtToken(*input_, read, msg::kUnexpectedMacroArg);
                    return false;
                }
                list.push_back(read);
                break;
            case TokMacroRef:
                firstUse = std::min(firstUse, list.size());
                list.push_back(read);
                break;
            case TokMacroCall:
                firstUse = std::min(firstUse, list.size());
                list.push_back(read);
                if (nesting + 1 > kMaxArgumentNesting) {
                    ::reportAtCurrent(*input_, read.location, msg::kMacroTooDeep);
                    return false;
                }
                if (!readBody(list, kCloseBrace, oneLine, nesting + 1)) return false;
                break;
            default:
                list.push_back(read);
                break;
            }
        }
        if (oneLine && firstUse != SIZE_MAX) {
            const Tokens stretch(list.begin() + static_cast<std::ptrdiff_t>(firstUse), list.end());
            list.resize(firstUse);
            if (!expandList(stretch, nullptr, list, 0)) return false;
        }
        // The "}" that ends an argument list is kept after it, as a plain "}"
        // (a braced use in the main stream ends with one too).
        if (endKind == kCloseBrace && nesting > 0) {
            token = Token{kCloseBrace, 0, 0};
            list.push_back(read);
        }
        return true;
    }

    bool expandList(const Tokens& list, const Arguments* arguments, Tokens& output, int depth) {
        if (depth >= kMaxDepth) {
            reportAtCurrent(msg::kMacroTooDeep);
            return false;
        }
        size_t index = 0;
        while (index < list.size()) {
            if (!expandItem(list, index, arguments, output, depth + 1)) return false;
        }
        return true;
    }

    // Expands the item at `index` and moves `index` past it (past the argument
    // list too for a call).
    bool expandItem(const Tokens& list, size_t& index, const Arguments* arguments, Tokens& output,
                    int depth) {
        if (!step()) return false;
        const LocatedToken& item = list[index++];
        switch (item.token.kind) {
        case TokMacroCall: {
            Arguments parsed;
            if (!parseArguments(list, index, arguments, parsed, depth, item.location)) return false;
            return invoke(item, &parsed, output, depth);
        }
        case TokMacroRef:
            return invoke(item, nullptr, output, depth);
        case TokMacroArg: {
            // Out of range, \0, or no arguments in force: the reference is dropped.
            const int64_t number = item.token.value;
            if (arguments == nullptr || number < 1 ||
                number > static_cast<int64_t>(arguments->size())) {
                return true;
            }
            return emit(output, (*arguments)[static_cast<size_t>(number - 1)]);
        }
        default:
            return emitMade(output, item);
        }
    }

    // The arguments of the call at `call`, just before `index`, up to its "}".
    // Uses and references inside are expanded with the outer arguments in force.
    bool parseArguments(const Tokens& list, size_t& index, const Arguments* outer,
                        Arguments& result, int depth, const SourceLocation& call) {
        if (nesting_ >= kMaxArgumentNesting) {
            ::reportAtCurrent(*input_, call, msg::kMacroTooDeep);
            return false;
        }
        ++nesting_;
        const bool done = parseArgumentItems(list, index, outer, result, depth, call);
        --nesting_;
        return done;
    }

    bool parseArgumentItems(const Tokens& list, size_t& index, const Arguments* outer,
                            Arguments& result, int depth, const SourceLocation& call) {
        Tokens current;
        bool started = false;
        auto start = [&]() {
            if (started) return true;
            started = true;
            return spend(1);  // an argument costs memory even when empty
        };
        for (;;) {
            if (index >= list.size()) {
                ::reportAtCurrent(*input_, call, msg::kFatalError);
                return false;
            }
            if (!step()) return false;
            const LocatedToken& item = list[index];
            switch (item.token.kind) {
            case kCloseBrace:
                ++index;
                if (started) result.push_back(std::move(current));
                return true;
            case TokMacroCall:
            case TokMacroRef:
            case TokMacroArg:
                if (!start() || !expandItem(list, index, outer, current, depth)) return false;
                break;
            case TokSpace:
                ++index;
                if (started && !emitMade(current, item)) return false;
                break;
            case kComma:
                ++index;
                if (!start()) return false;
                result.push_back(std::move(current));
                current.clear();
                started = false;
                break;
            default:
                ++index;
                if (!start() || !emitMade(current, item)) return false;
                break;
            }
        }
    }

    bool invoke(const LocatedToken& use, const Arguments* arguments, Tokens& output, int depth) {
        if (!step()) return false;
        const MacroDefinition* definition = lookUp(use, depth > 1);
        if (definition == nullptr) return false;
        frames_.push_back(Frame{use.location});
        bool done = false;
        switch (definition->type) {
        case MacroDefinition::kOneLine:
            done = emitCopies(output, definition->body);
            break;
        case MacroDefinition::kBlock:
            done = expandList(definition->body, arguments, output, depth);
            break;
        default:
            reportAtCurrent(msg::kFatalError);
            break;
        }
        frames_.pop_back();
        return done;
    }

    // The definition a use token names. Uses stored in block bodies are met
    // again and again with the same name id, so what they find is remembered
    // (`remember`, a macro is never redefined); uses read from the file are
    // met once and not kept.
    const MacroDefinition* lookUp(const LocatedToken& use, bool remember) {
        const int32_t nameId = use.token.value;
        const auto known = byNameId_.find(nameId);
        if (known != byNameId_.end()) return known->second;
        const std::u16string* name = pool_.get(nameId);
        if (name == nullptr) {
            ::reportAtCurrent(*input_, use.location, msg::kFatalError);
            return nullptr;
        }
        const MacroDefinition* definition = table_.find(*name);
        if (definition == nullptr) {
            ::reportAtCurrent(*input_, use.location, msg::kUndefinedMacro, codesToBytes(*name));
            return nullptr;
        }
        if (remember) byNameId_.emplace(nameId, definition);
        return definition;
    }

    // The id of the frame at `depth` in the run's map, made now if need be
    // with the frame that holds its use as its own expansion.
    int32_t frameId(size_t depth) {
        Frame& frame = frames_[depth];
        if (frame.id != Frame::kNotMade) return frame.id;
        SourceLocation use = frame.use;
        if (depth > 0) {
            const int32_t outer = frameId(depth - 1);
            if (outer == Frame::kCannotBeMade) return frame.id = Frame::kCannotBeMade;
            use.expansion = outer;
        }
        const int32_t id = map_->addUse(use);
        return frame.id = id != 0 ? id : Frame::kCannotBeMade;
    }

    // Gives a token the use being expanded as its expansion; with the map full,
    // the place of the outermost use instead.
    void stamp(SourceLocation& location) {
        if (frames_.empty()) return;
        const int32_t id = frameId(frames_.size() - 1);
        if (id != Frame::kCannotBeMade) {
            location.expansion = id;
        } else {
            location = frames_.front().use;
        }
    }

    // Starts the budget of one definition or use: its own limits, cut down to
    // what is left of the run's.
    void beginBudget(size_t tokenLimit) {
        produced_ = 0;
        tokenLimit_ = std::min(tokenLimit, kMaxTokensPerRun - producedInRun_);
        steps_ = 0;
        stepLimit_ = std::min(kMaxStepsPerExpansion, kMaxStepsPerRun - stepsInRun_);
        nesting_ = 0;
    }

    bool spend(size_t tokens) {
        if (tokens > tokenLimit_ - produced_) {
            reportAtCurrent(msg::kMacroExpansionTooLarge);
            return false;
        }
        produced_ += tokens;
        producedInRun_ += tokens;
        return true;
    }

    bool step() {
        if (steps_ >= stepLimit_) {
            reportAtCurrent(msg::kMacroExpansionTooLarge);
            return false;
        }
        ++steps_;
        ++stepsInRun_;
        return true;
    }

    // A token of the list being expanded, made by the use being expanded.
    bool emitMade(Tokens& output, const LocatedToken& item) {
        if (!spend(1)) return false;
        output.push_back(item);
        stamp(output.back().location);
        return true;
    }

    // The tokens of an argument, as the call wrote them.
    bool emit(Tokens& output, const Tokens& tokens) {
        if (!spend(tokens.size())) return false;
        output.insert(output.end(), tokens.begin(), tokens.end());
        return true;
    }

    // A one-line body, made by the use being expanded.
    bool emitCopies(Tokens& output, const Tokens& body) {
        if (!spend(body.size())) return false;
        for (const LocatedToken& item : body) {
            output.push_back(item);
            stamp(output.back().location);
        }
        return true;
    }

    MacroTable& table_;
    StringPool& pool_;
    Tokenizer* input_ = nullptr;  // the file being read, for the current position
    SourceMap* map_ = nullptr;    // the run's, where the macro uses go
    SourceLocation origin_;       // the directive or use being handled
    std::vector<Frame> frames_;   // the uses being expanded, outermost first
    size_t produced_ = 0;
    size_t tokenLimit_ = 0;
    size_t producedInRun_ = 0;
    uint64_t steps_ = 0;
    uint64_t stepLimit_ = 0;
    uint64_t stepsInRun_ = 0;
    int nesting_ = 0;
    std::unordered_map<int32_t, const MacroDefinition*> byNameId_;
};

}  // namespace

std::unique_ptr<MacroExpander> createMacroExpander(MacroTable& table, StringPool& pool) {
    return std::make_unique<MacroExpanderImpl>(table, pool);
}

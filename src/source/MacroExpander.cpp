// Macro definition and expansion. Expansion works on tokens. Block bodies are
// stored as written and expanded at every use; one-line bodies are expanded
// once, when they are defined.
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
#include "source/MacroTable.h"
#include "source/PreprocessorSteps.h"
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

using Arguments = std::vector<std::vector<Token>>;

class MacroExpanderImpl final : public MacroExpander {
public:
    MacroExpanderImpl(MacroTable& table, StringPool& pool) : table_(table), pool_(pool) {}

    void defineOneLine(Token& directive, Tokenizer& input) override {
        input_ = &input;
        std::u16string name;
        if (!readNewName(directive, name)) return;
        beginBudget(kMaxTokensPerExpansion);
        std::vector<Token> body;
        if (!readBody(body, TokNewline, true, 0)) {
            directive.kind = TokInvalid;
            return;
        }
        table_.define(name, MacroDefinition::kOneLine, std::move(body));
        directive.kind = TokNone;
    }

    void defineBlock(Token& directive, Tokenizer& input) override {
        input_ = &input;
        std::u16string name;
        if (!readNewName(directive, name)) return;
        Token brace;
        if (readOperand(input, brace) != kOpenBrace) {
            reportAtToken(directive, msg::kOpenBraceRequired);
            return;
        }
        beginBudget(0);  // nothing is expanded while a block body is read
        std::vector<Token> body;
        if (!readBody(body, kCloseBrace, false, 0)) {
            directive.kind = TokInvalid;
            return;
        }
        table_.define(name, MacroDefinition::kBlock, std::move(body));
        directive.kind = TokNone;
    }

    void expandUse(Token& use, Tokenizer& input, std::vector<Token>& queue) override {
        input_ = &input;
        beginBudget(kMaxTokensPerExpansion);
        std::vector<Token> list{use};
        if (use.kind == TokMacroCall) {
            if (!readBody(list, kCloseBrace, false, 1)) {
                use.kind = TokInvalid;
                return;
            }
            list.push_back(closeBrace());
        }
        std::vector<Token> output;
        if (!expandList(list, nullptr, output, 0)) {
            use.kind = TokInvalid;
            return;
        }
        for (Token token : output) {
            token.line = use.line;
            queue.push_back(token);
        }
        use.kind = TokNone;
    }

private:
    static Token closeBrace() { return Token{kCloseBrace, 0, 0}; }

    // The name operand of a definition, which must be a plain use form naming a
    // macro not defined yet. False (the directive turned invalid) otherwise.
    bool readNewName(Token& directive, std::u16string& name) {
        Token operand;
        if (readOperand(*input_, operand) != TokMacroRef) {
            reportAtToken(directive, msg::kMacroNameRequired);
            return false;
        }
        const std::u16string* text = pool_.get(operand.value);
        if (text == nullptr) {
            reportAtToken(directive, msg::kFatalError);
            return false;
        }
        if (table_.find(*text) != nullptr) {
            reportAtToken(directive, msg::kMacroRedefined, codesToBytes(*text));
            return false;
        }
        name = *text;
        return true;
    }

    // Raw tokens into `list` up to the ending kind (consumed, not stored). A
    // call's argument list is read as a nested body up to its "}", which is
    // stored as a plain "}". In the one-line form the stretch from the first
    // use on is expanded as soon as the body (or argument list) is complete.
    bool readBody(std::vector<Token>& list, int32_t endKind, bool oneLine, int nesting) {
        size_t firstUse = SIZE_MAX;
        Token token;
        for (;;) {
            input_->read(token);
            if (token.kind == endKind) break;
            switch (token.kind) {
            case TokEnd:
                reportAtToken(token, msg::kUnexpectedEof);
                return false;
            case TokInvalid:
                return false;
            case TokSpace:
                if (!list.empty()) list.push_back(token);
                break;
            case TokDirective:
                reportAtToken(token, msg::kDirectiveNotAllowedHere);
                return false;
            case TokMacroArg:
                if (oneLine) {
                    reportAtToken(token, msg::kUnexpectedMacroArg);
                    return false;
                }
                list.push_back(token);
                break;
            case TokMacroRef:
                firstUse = std::min(firstUse, list.size());
                list.push_back(token);
                break;
            case TokMacroCall:
                firstUse = std::min(firstUse, list.size());
                list.push_back(token);
                if (nesting + 1 > kMaxArgumentNesting) {
                    reportAtCurrent(input_, msg::kMacroTooDeep);
                    return false;
                }
                if (!readBody(list, kCloseBrace, oneLine, nesting + 1)) return false;
                list.push_back(closeBrace());
                break;
            default:
                list.push_back(token);
                break;
            }
        }
        if (oneLine && firstUse != SIZE_MAX) {
            const std::vector<Token> stretch(list.begin() + static_cast<std::ptrdiff_t>(firstUse),
                                             list.end());
            list.resize(firstUse);
            if (!expandList(stretch, nullptr, list, 0)) return false;
        }
        return true;
    }

    bool expandList(const std::vector<Token>& list, const Arguments* arguments,
                    std::vector<Token>& output, int depth) {
        if (depth >= kMaxDepth) {
            reportAtCurrent(input_, msg::kMacroTooDeep);
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
    bool expandItem(const std::vector<Token>& list, size_t& index, const Arguments* arguments,
                    std::vector<Token>& output, int depth) {
        if (!step()) return false;
        const Token token = list[index++];
        switch (token.kind) {
        case TokMacroCall: {
            Arguments parsed;
            if (!parseArguments(list, index, arguments, parsed, depth)) return false;
            return invoke(token.value, &parsed, output, depth);
        }
        case TokMacroRef:
            return invoke(token.value, nullptr, output, depth);
        case TokMacroArg: {
            // Out of range, \0, or no arguments in force: the reference is dropped.
            const int64_t number = token.value;
            if (arguments == nullptr || number < 1 ||
                number > static_cast<int64_t>(arguments->size())) {
                return true;
            }
            return emit(output, (*arguments)[static_cast<size_t>(number - 1)]);
        }
        default:
            return emit(output, token);
        }
    }

    // The arguments of the call just before `index`, up to its "}". Uses and
    // references inside are expanded with the outer arguments in force.
    bool parseArguments(const std::vector<Token>& list, size_t& index, const Arguments* outer,
                        Arguments& result, int depth) {
        if (nesting_ >= kMaxArgumentNesting) {
            reportAtCurrent(input_, msg::kMacroTooDeep);
            return false;
        }
        ++nesting_;
        const bool done = parseArgumentItems(list, index, outer, result, depth);
        --nesting_;
        return done;
    }

    bool parseArgumentItems(const std::vector<Token>& list, size_t& index, const Arguments* outer,
                            Arguments& result, int depth) {
        std::vector<Token> current;
        bool started = false;
        auto start = [&]() {
            if (started) return true;
            started = true;
            return spend(1);  // an argument costs memory even when empty
        };
        for (;;) {
            if (index >= list.size()) {
                reportAtCurrent(input_, msg::kFatalError);
                return false;
            }
            if (!step()) return false;
            const Token token = list[index];
            switch (token.kind) {
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
                if (started && !emit(current, token)) return false;
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
                if (!start() || !emit(current, token)) return false;
                break;
            }
        }
    }

    bool invoke(int32_t nameId, const Arguments* arguments, std::vector<Token>& output,
                int depth) {
        if (!step()) return false;
        const MacroDefinition* definition = lookUp(nameId, depth > 1);
        if (definition == nullptr) return false;
        switch (definition->type) {
        case MacroDefinition::kOneLine:
            return emit(output, definition->body);
        case MacroDefinition::kBlock:
            return expandList(definition->body, arguments, output, depth);
        default:
            reportAtCurrent(input_, msg::kFatalError);
            return false;
        }
    }

    // The definition a use token names. Uses stored in block bodies are met
    // again and again with the same name id, so what they find is remembered
    // (`remember`, a macro is never redefined); uses read from the file are
    // met once and not kept.
    const MacroDefinition* lookUp(int32_t nameId, bool remember) {
        const auto known = byNameId_.find(nameId);
        if (known != byNameId_.end()) return known->second;
        const std::u16string* name = pool_.get(nameId);
        if (name == nullptr) {
            reportAtCurrent(input_, msg::kFatalError);
            return nullptr;
        }
        const MacroDefinition* definition = table_.find(*name);
        if (definition == nullptr) {
            reportAtCurrent(input_, msg::kUndefinedMacro, codesToBytes(*name));
            return nullptr;
        }
        if (remember) byNameId_.emplace(nameId, definition);
        return definition;
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
            reportAtCurrent(input_, msg::kMacroExpansionTooLarge);
            return false;
        }
        produced_ += tokens;
        producedInRun_ += tokens;
        return true;
    }

    bool step() {
        if (steps_ >= stepLimit_) {
            reportAtCurrent(input_, msg::kMacroExpansionTooLarge);
            return false;
        }
        ++steps_;
        ++stepsInRun_;
        return true;
    }

    bool emit(std::vector<Token>& output, const Token& token) {
        if (!spend(1)) return false;
        output.push_back(token);
        return true;
    }

    bool emit(std::vector<Token>& output, const std::vector<Token>& tokens) {
        if (!spend(tokens.size())) return false;
        output.insert(output.end(), tokens.begin(), tokens.end());
        return true;
    }

    MacroTable& table_;
    StringPool& pool_;
    Tokenizer* input_ = nullptr;  // the file being read, for the current position
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

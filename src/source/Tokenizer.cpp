// The tokenizer: the lexical syntax of the MML source. It interprets nothing;
// directives, macros and commands are acted on by its readers.
#include "source/Tokenizer.h"

#include <cstdint>
#include <string>
#include <utility>

#include "diag/Diagnostics.h"
#include "diag/Messages.h"
#include "source/SourceReader.h"
#include "text/StringPool.h"

namespace {

constexpr int kLineFeed = '\n';
constexpr int kBackslash = 92;
constexpr uint32_t kLargestTenth = 429496729u;  // 4294967295 / 10

bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isNameStart(int c) { return isLetter(c) || c == '_'; }
bool isNamePart(int c) { return isNameStart(c) || isDigit(c); }
bool isBlank(int c) { return c == ' ' || c == '\t'; }

bool isSingleCharToken(int c) {
    switch (c) {
    case '#': case '&': case '^': case '+': case '-': case '*':
    case '{': case '}': case '<': case '>': case ',': case '_':
        return true;
    default:
        return false;
    }
}

class TokenizerImpl final : public Tokenizer {
public:
    void attach(SourceReader* source, StringPool* pool) override {
        source_ = source;
        pool_ = pool;
        diagnostics_ = source != nullptr ? &source->reading().diagnostics : nullptr;
        file_ = source != nullptr ? source->fileId() : 0;
    }

    SourceReader* source() override { return source_; }

    int read(Token& token, SourceLocation& location) override {
        token.kind = TokInvalid;
        token.value = 0;
        if (source_ == nullptr || pool_ == nullptr) {
            token.kind = TokEnd;
            token.line = 0;
            location = SourceLocation{};
            return token.kind;
        }
        token.line = source_->line();

        int c = source_->getChar();
        const int32_t start = source_->charColumn();
        if (c == ';') {
            // A comment runs to the line feed, which then ends it as a token.
            do {
                c = source_->getChar();
            } while (c != kLineFeed && c != -1);
        }
        classify(c, token);
        location = SourceLocation{file_, token.line, start, source_->consumedColumn()};

        if (token.kind == TokInvalid) diagnostics_->error(msg::kInvalidToken, location);
        return token.kind;
    }

private:
    // Reports at the character just read, naming on the console the line the
    // file is read at (the next one, after a line feed).
    void reportAtChar(int c, const msg::Message& message) {
        const int line = source_->line();
        const int32_t column = source_->charColumn();
        const SourceLocation at{file_, c == kLineFeed ? line - 1 : line, column,
                                c < 0 ? column : column + 1};
        diagnostics_->error(message, at, line, {});
    }

    void classify(int c, Token& token) {
        if (c == -1) {
            token.kind = TokEnd;
        } else if (c == '.') {
            if (readName()) {
                token.kind = TokDirective;
                token.value = pool_->add(text_);
            }
        } else if (c == kBackslash) {
            readMacroForm(token);
        } else if (c == '@') {
            readAtCommand(token);
        } else if (isDigit(c)) {
            source_->ungetChar(c);
            uint32_t number = 0;
            if (readNumber(number)) {
                const int next = source_->getChar();
                if (next == '.') {
                    token.kind = TokNumberDot;
                } else {
                    source_->ungetChar(next);
                    token.kind = TokNumber;
                }
                token.value = static_cast<int32_t>(number);
            }
        } else if (isLetter(c)) {
            token.kind = c >= 'a' ? c - ('a' - 'A') : c;
        } else if (c == '/') {
            const int next = source_->getChar();
            if (next == ':') {
                token.kind = TokLoopBegin;
            } else {
                source_->ungetChar(next);
                token.kind = '/';
            }
        } else if (c == ':') {
            if (source_->getChar() == '/') token.kind = TokLoopEnd;
        } else if (isBlank(c)) {
            int next;
            do {
                next = source_->getChar();
            } while (isBlank(next));
            source_->ungetChar(next);
            token.kind = TokSpace;
        } else if (c == kLineFeed) {
            token.kind = TokNewline;
        } else if (c == '"') {
            readString();
            token.kind = TokString;
            // A string may be as long as the source (a lyric): it goes to the
            // pool as it is, not as a second copy.
            token.value = pool_->add(std::exchange(text_, std::u16string()));
        } else if (isSingleCharToken(c)) {
            token.kind = c;
        }
    }

    // After a backslash: an argument reference, a use, or a braced use.
    void readMacroForm(Token& token) {
        int c = source_->getChar();
        const bool braced = c == '{';
        if (braced) c = source_->getChar();

        if (isDigit(c)) {
            source_->ungetChar(c);
            uint32_t number = 0;
            if (!readNumber(number)) return;
            if (braced) {
                const int close = source_->getChar();
                if (close != '}') {
                    reportAtChar(close, msg::kCloseBraceRequired);
                    return;
                }
            }
            token.kind = TokMacroArg;
            token.value = static_cast<int32_t>(number);
        } else if (isNameStart(c)) {
            source_->ungetChar(c);
            readName();
            token.kind = braced ? TokMacroCall : TokMacroRef;
            token.value = pool_->add(text_);
        }
    }

    // "@" and up to three letters, packed big-endian into the kind.
    void readAtCommand(Token& token) {
        uint32_t code = '@';
        int letters = 0;
        for (;;) {
            const int c = source_->getChar();
            if (!isLetter(c)) {
                source_->ungetChar(c);
                token.kind = static_cast<int32_t>(code);
                return;
            }
            if (letters == 3) {
                reportAtChar(c, msg::kAtLettersTooLong);
                return;
            }
            code = withCommandLetter(code, static_cast<uint32_t>(c));
            ++letters;
        }
    }

    // An unsigned 32-bit decimal number. Fails on the digit that would exceed
    // the range; that digit is consumed, the rest stay in the input.
    bool readNumber(uint32_t& number) {
        number = 0;
        int c = source_->getChar();
        while (isDigit(c)) {
            const uint32_t digit = static_cast<uint32_t>(c - '0');
            if (number > kLargestTenth || (number == kLargestTenth && digit > 5)) {
                reportAtChar(c, msg::kValueTooLarge);
                return false;
            }
            number = number * 10 + digit;
            c = source_->getChar();
        }
        source_->ungetChar(c);
        return true;
    }

    // A name into text_. A character that cannot start a name is consumed.
    bool readName() {
        text_.clear();
        int c = source_->getChar();
        if (!isNameStart(c)) return false;
        do {
            text_.push_back(static_cast<char16_t>(c));
            c = source_->getChar();
        } while (isNamePart(c));
        source_->ungetChar(c);
        return true;
    }

    // The text of a string into text_, after its opening quote. A line feed or
    // the end of the file closes it too and is left for the next token.
    void readString() {
        text_.clear();
        for (;;) {
            const int c = source_->getChar();
            if (c == '"') return;
            if (c == kLineFeed || c == -1) {
                source_->ungetChar(c);
                return;
            }
            text_.push_back(static_cast<char16_t>(c));
        }
    }

    SourceReader* source_ = nullptr;
    StringPool* pool_ = nullptr;
    Diagnostics* diagnostics_ = nullptr;  // the run's, from the reader
    int32_t file_ = 0;
    std::u16string text_;  // reused for every name and string to spare allocations
};

}  // namespace

std::unique_ptr<Tokenizer> createTokenizer() { return std::make_unique<TokenizerImpl>(); }

// The command parser: a one-token-lookahead reader over the preprocessed token
// stream. It recognises notes, lengths, numbers, pitches and parameter lists and
// hands every command to the compiler the moment it is complete.
#include "parse/CommandParser.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diag/Diagnostics.h"
#include "diag/Messages.h"
#include "parse/CommandSink.h"
#include "song/CommandCode.h"
#include "song/Pitch.h"
#include "song/Ticks.h"
#include "source/Preprocessor.h"
#include "source/Token.h"
#include "text/CharCode.h"
#include "text/StringPool.h"

namespace {

constexpr int64_t kMaxLength = std::numeric_limits<int32_t>::max();

// Kinds that are plain characters.
constexpr int32_t kSharp = '#';
constexpr int32_t kStar = '*';
constexpr int32_t kPlus = '+';
constexpr int32_t kComma = ',';
constexpr int32_t kMinus = '-';
constexpr int32_t kSlash = '/';
constexpr int32_t kAt = '@';
constexpr int32_t kTie = '^';

// Negates a number as the two's complement of its 32 bits, so that the most
// negative value stays as it is instead of overflowing.
int32_t negate(int32_t value) {
    return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

// "@" followed by one to three letters: the "@" sits in the highest used byte.
bool isAtCommand(int32_t kind) {
    const uint32_t code = static_cast<uint32_t>(kind);
    return (code >> 24) == kAt || (code >> 16) == kAt || (code >> 8) == kAt;
}

// The note value of a length part without "*": a whole note divided by 1..64.
bool isNoteValue(int32_t number) {
    switch (number) {
    case 1: case 2: case 4: case 8: case 16: case 32: case 64:
        return true;
    default:
        return false;
    }
}

class CommandParserImpl final : public CommandParser {
public:
    explicit CommandParserImpl(Diagnostics& diagnostics) : diagnostics_(diagnostics) {}

    int parse(Preprocessor* preprocessor, CommandSink* compiler, StringPool* pool) override {
        preprocessor_ = preprocessor;
        compiler_ = compiler;
        pool_ = pool;
        pending_ = LocatedToken{};
        run();
        return 0;
    }

private:
    Token take() {
        if (pending_.token.kind != TokNone) {
            last_ = pending_;
            pending_.token.kind = TokNone;
        } else {
            preprocessor_->nextToken(last_.token, last_.location);
        }
        endBefore_ = endColumn_;
        const SourceLocation& at = last_.location;
        const SourceLocation& start = start_.location;
        // The command's columns reach as far as its tokens on its line.
        if (at.line == start.line && at.file == start.file && at.expansion == start.expansion)
            endColumn_ = std::max(endColumn_, at.endColumn);
        return last_.token;
    }

    // Returns the token taken last to the stream: it is not part of the
    // command, and it is the next one taken. (The parser never returns two.)
    void giveBack() {
        pending_ = last_;
        endColumn_ = endBefore_;
    }

    // Starts a command at the token taken last.
    void beginCommand() {
        start_ = last_;
        endColumn_ = last_.location.endColumn;
        endBefore_ = endColumn_;
    }

    // The stream file of a location, without the map for one written where it stands.
    int32_t fileAsRead(const SourceLocation& location) const {
        return location.expansion == 0 ? location.file
                                       : diagnostics_.files().expansionLocation(location).file;
    }

    CommandPlace place() const {
        CommandPlace place{start_.location, start_.token.line};
        place.written.endColumn = endColumn_;
        if (fileAsRead(last_.location) == fileAsRead(start_.location))
            place.consoleLine = last_.token.line;
        return place;
    }

    void error(const msg::Message& message) {
        const CommandPlace at = place();
        diagnostics_.error(message, at.written, at.consoleLine, {});
    }

    // A token that starts no command, named in a note when it is a character.
    void unknownToken(int32_t kind) {
        DiagnosticNote note;
        if (kind > 0 && kind <= 0xFFFF) {
            note.text = "'" + codesToBytes(std::u16string(1, static_cast<char16_t>(kind))) +
                        "' starts no command";
        }
        const CommandPlace at = place();
        diagnostics_.error(msg::kUnknownCommandToken, at.written, at.consoleLine, {},
                           std::move(note));
    }

    void send(int32_t code) { compiler_->command(code, 0, nullptr, place()); }

    void send(int32_t code, int32_t value) {
        const CommandParam param{ParamNumber, value};
        compiler_->command(code, 1, &param, place());
    }

    void sendList(int32_t code) {
        const int count = static_cast<int>(params_.size());
        compiler_->command(code, count, count == 0 ? nullptr : params_.data(), place());
    }

    // The main loop: one command per round until the input ends or a token
    // that cannot go on is met.
    void run() {
        for (;;) {
            const Token token = take();
            beginCommand();
            const int32_t kind = token.kind;
            if (kind == TokEnd) {
                send(CmdEndOfSource);
                return;
            }
            if (kind == TokInvalid) return;
            if (kind == TokNewline || kind == TokSpace) continue;
            if (kind == TokString) {
                sendLyric(token.value);
            } else if (isNoteLetter(kind)) {
                parseNote(kind);
            } else if (kind == CmdDefaultLength || kind == CmdRest) {
                send(kind, readLength());
            } else if (kind == CmdOctave || kind == CmdGate || kind == CmdTempo) {
                send(kind, readNumber());
            } else if (kind == CmdOctaveDown || kind == CmdOctaveUp || kind == CmdJoin) {
                send(kind);
            } else if (kind == kAt) {
                parseAtString();
            } else if (isAtCommand(kind)) {
                readParameterList();
                sendList(kind);  // the letters' code is the command's code
            } else if (kind == TokNumber) {
                giveBack();
                readParameterList();
                sendList(CmdTrackSelect);
            } else if (kind == CmdTranspose) {
                int32_t pitchClass = 0;
                if (!readPitch(pitchClass)) return;
                send(CmdTranspose, pitchClass);
            } else if (kind == TokLoopBegin) {
                readParameterList();
                sendList(CmdLoopStart);
            } else if (kind == kSlash) {
                send(CmdLoopExit);
            } else if (kind == TokLoopEnd) {
                send(CmdLoopEnd);
            } else {
                unknownToken(kind);
                return;
            }
        }
    }

    void sendLyric(int32_t stringId) {
        const std::u16string* text = pool_->get(stringId);
        if (text == nullptr || text->empty()) {
            const CommandPlace at = place();
            diagnostics_.warning(msg::kEmptyLyric, at.written, at.consoleLine, {});
            return;
        }
        // The pool's own text, ended by its 0: a lyric may be as long as the
        // source, so it is not copied.
        compiler_->lyrics(text->c_str(), place());
    }

    void parseNote(int32_t letter) {
        const Token next = take();
        int32_t accidental = 0;
        if (next.kind == kSharp || next.kind == kPlus) {
            accidental = kPlus;
        } else if (next.kind == kMinus) {
            accidental = kMinus;
        } else {
            giveBack();
        }
        const CommandParam params[2] = {{ParamNumber, accidental}, {ParamNumber, readLength()}};
        compiler_->command(letter, 2, params, place());
    }

    void parseAtString() {
        const Token next = take();
        if (next.kind == TokString) {
            const CommandParam param{ParamString, next.value};
            compiler_->command(CmdSinger, 1, &param, place());
            return;
        }
        giveBack();
        error(msg::kAtNeedsStringOrLetters);
    }

    // A length in ticks: parts joined by "^", each a note value with an optional
    // dot or "*" and a raw tick count. 0 when no length was written or it is
    // wrong. Raw tick counts are read as unsigned and summed in 64 bits; a sum
    // beyond the int32 range is held at its largest value.
    int32_t readLength() {
        int64_t sum = 0;
        for (;;) {
            Token token = take();
            bool rawTicks = false;
            if (token.kind == kStar) {
                rawTicks = true;
                token = take();
            }
            if (token.kind != TokNumber && token.kind != TokNumberDot) {
                giveBack();
                if (sum != 0) error(msg::kNumberAfterTie);
                return 0;
            }
            int64_t part = 0;
            if (rawTicks) {
                part = static_cast<uint32_t>(token.value);
            } else {
                if (!isNoteValue(token.value)) {
                    error(msg::kBadNoteValue);
                    return 0;
                }
                part = kTicksPerWholeNote / token.value;
                if (token.kind == TokNumberDot) part += part / 2;
            }
            sum += part;
            if (sum > kMaxLength) sum = kMaxLength;
            const Token next = take();
            if (next.kind != kTie) {
                giveBack();
                return static_cast<int32_t>(sum);
            }
        }
    }

    // A number with an optional sign, for "O", "Q" and "T"; 0 after an error.
    int32_t readNumber() {
        Token token = take();
        bool negative = false;
        if (token.kind == kMinus || token.kind == kPlus) {
            negative = token.kind == kMinus;
            token = take();
        }
        if (token.kind == TokNumber) return negative ? negate(token.value) : token.value;
        giveBack();
        error(msg::kNumberRequired);
        return 0;
    }

    // A pitch letter with an optional accidental after "_", as a pitch class
    // 0..11. False (parsing stops) for a missing letter or a sharp or flat that
    // lands on a natural note.
    bool readPitch(int32_t& pitchClass) {
        const Token letter = take();
        if (!isNoteLetter(letter.kind)) {
            giveBack();
            error(msg::kBadPitchLetter);
            return false;
        }
        const Token accidental = take();
        int32_t step = 0;
        if (accidental.kind == kSharp || accidental.kind == kPlus) {
            step = 1;
        } else if (accidental.kind == kMinus) {
            step = -1;
        } else {
            giveBack();
        }
        if (!accidentalFits(letter.kind, step)) {
            error(msg::kBadPitchAccidental);
            return false;
        }
        pitchClass = pitchClassOf(letter.kind, step);
        return true;
    }

    // A comma-separated list of numbers, signed numbers and strings, read into
    // params_. Stops at the first token that is no parameter.
    void readParameterList() {
        params_.clear();
        bool afterComma = false;
        for (;;) {
            Token token = take();
            if (token.kind == kStar) {
                token = take();
                if (token.kind != TokNumber) {
                    giveBack();
                    error(msg::kNumberAfterStar);
                    return;
                }
            }
            if (token.kind == TokString) {
                params_.push_back({ParamString, token.value});
            } else if (token.kind == TokNumber || token.kind == kPlus || token.kind == kMinus) {
                const int32_t sign = token.kind;
                if (sign != TokNumber) {
                    token = take();
                    if (token.kind != TokNumber) {
                        giveBack();
                        error(msg::kDigitsAfterSign);
                        return;
                    }
                }
                if (token.value < 0) error(msg::kValueTooLarge);
                if (sign == TokNumber) {
                    params_.push_back({ParamNumber, token.value});
                } else {
                    const int32_t value = sign == kMinus ? negate(token.value) : token.value;
                    params_.push_back({ParamRelative, value});
                }
            } else {
                giveBack();
                if (afterComma) error(msg::kParamAfterComma);
                return;
            }
            const Token next = take();
            if (next.kind != kComma) {
                giveBack();
                return;
            }
            afterComma = true;
        }
    }

    Diagnostics& diagnostics_;
    Preprocessor* preprocessor_ = nullptr;
    CommandSink* compiler_ = nullptr;
    StringPool* pool_ = nullptr;
    LocatedToken pending_;               // kind TokNone: nothing pending
    LocatedToken last_;                  // the token taken last
    LocatedToken start_;                 // the first token of the command being read
    int32_t endColumn_ = 0;              // the end of its columns so far
    int32_t endBefore_ = 0;              // before the token taken last, for a token given back
    std::vector<CommandParam> params_;   // reused by every parameter list
};

}  // namespace

std::unique_ptr<CommandParser> createCommandParser(Diagnostics& diagnostics) {
    return std::make_unique<CommandParserImpl>(diagnostics);
}

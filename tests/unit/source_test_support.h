// Helpers shared by the source module's tests: a preprocessor run that collects the tokens and the printed
// diagnostics, and the expected form of a diagnostic line.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ReadTestSupport.h"
#include "TestFiles.h"
#include "diag/Reporter.h"
#include "source/Preprocessor.h"
#include "source/SourceReader.h"
#include "source/Token.h"
#include "text/StringPool.h"

namespace sourcetest {

struct Run {
    std::vector<Token> tokens;  // every token up to and without the end
    std::vector<SourceLocation> locations;  // of each of them
    Token end;                  // the first end token
    std::string output;         // what was printed
    int errors = 0;             // errors reported during the run
    std::unique_ptr<StringPool> pool;
    std::unique_ptr<TestReading> read;  // the run's map of files and its records

    std::vector<int> kinds() const {
        std::vector<int> result;
        for (const Token& token : tokens) result.push_back(token.kind);
        return result;
    }
    std::u16string text(const Token& token) const {
        const std::u16string* found = pool->get(token.value);
        return found != nullptr ? *found : u"<none>";
    }
};

// Runs a preprocessor over the main file until the end (or `limit` tokens).
inline Run preprocess(const std::string& mainPath, const std::vector<std::string>& directories = {},
                      size_t limit = 10'000'000, SourceProvider& sources = diskSources()) {
    Run run;
    run.pool = createStringPool();
    run.read = std::make_unique<TestReading>(false, sources);
    const int errorsBefore = getReporter().errorCount();
    testing::internal::CaptureStdout();
    {
        auto source = createSourceReader(mainPath, run.read->reading);
        if (source) {
            auto preprocessor = createPreprocessor();
            preprocessor->start(source.get(), run.pool.get(), &directories);
            Token token;
            SourceLocation location;
            while (run.tokens.size() < limit &&
                   preprocessor->nextToken(token, location) != TokEnd) {
                run.tokens.push_back(token);
                run.locations.push_back(location);
            }
            run.end = token;
        }
    }
    run.output = testing::internal::GetCapturedStdout();
    run.errors = getReporter().errorCount() - errorsBefore;
    return run;
}

inline std::string errorLine(const std::string& file, int line, std::string_view message,
                             std::string_view detail = {}) {
    std::string text = "ERROR: " + file + "(" + std::to_string(line) + ") ";
    text.append(message);
    if (!detail.empty()) text.append(": ").append(detail);
    return text + "\n";
}

inline Token token(int kind, int value, int line) { return Token{kind, value, line}; }

}  // namespace sourcetest

// Tokens live in the global namespace, so their comparison and printing for
// the tests do too.
inline bool operator==(const Token& a, const Token& b) {
    return a.kind == b.kind && a.value == b.value && a.line == b.line;
}

inline void PrintTo(const Token& t, std::ostream* os) {
    *os << "{kind " << t.kind << ", value " << t.value << ", line " << t.line << "}";
}

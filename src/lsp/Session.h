// One conversation with an editor, message by message: the lifecycle, the open
// documents, the checks and the answers. It reads nothing and waits for
// nothing, so a test drives it directly; serveLanguage (lsp/LanguageServer.h)
// feeds it what arrives and tells it when the input has gone quiet.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <nlohmann/json_fwd.hpp>

class Checker;
class ReferenceTables;

class Session {
public:
    // Open documents beyond this many are not taken.
    static constexpr size_t kMaxDocuments = 256;
    // A document that an edit would make longer than this keeps its text.
    static constexpr size_t kMaxDocumentBytes = 64u << 20;

    using Send = std::function<void(const nlohmann::json&)>;
    Session(Checker& checker, const ReferenceTables& tables, Send send);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Handles one message body as it arrived (any bytes).
    void handle(const std::string& body);
    // Nothing more is waiting: checks the documents changed since their last
    // check, and those that include them, and publishes their diagnostics.
    // Changes that came together are so checked once.
    void idle();
    // True once "exit" came; the exit code is then exitCode().
    bool exited() const;
    int exitCode() const;
    // How many checks have run, for tests.
    int checks() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

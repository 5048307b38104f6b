// The language server's protocol layer: framing of hostile input, positions
// counted in UTF-16 units with edits clamped, and a session's lifecycle,
// errors and coalesced checks, against a checker that records its calls.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/Checker.h"
#include "lsp/Framing.h"
#include "lsp/ReferenceTables.h"
#include "lsp/Session.h"
#include "lsp/TextDocument.h"

using nlohmann::json;

namespace {

TEST(LspFraming, ReadsBodiesAndSkipsWhatFramesNothing) {
    std::string input = framed("{\"a\":1}");
    input += "X-Junk: 1\r\n\r\n";                          // no length: skipped
    input += "Content-Length: nope\r\n\r\n";               // no number: skipped
    input += "content-length:  3 \r\nContent-Type: x\r\n\r\n[1]";
    input += "Content-Length: 99999999999999999999999\r\n\r\n";  // beyond any bound, then the end
    std::istringstream in(input);
    MessageReader reader(in);
    EXPECT_EQ(reader.next(), "{\"a\":1}");
    EXPECT_EQ(reader.next(), "[1]");
    EXPECT_EQ(reader.next(), std::nullopt);
    EXPECT_EQ(reader.next(), std::nullopt);
}

TEST(LspFraming, EndsOnATruncatedBodyAndBoundsHeaderLines) {
    std::istringstream truncated("Content-Length: 10\r\n\r\nabc");
    EXPECT_EQ(MessageReader(truncated).next(), std::nullopt);
    std::istringstream longLine(std::string(100000, 'x') + "\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_EQ(MessageReader(longLine).next(), "ok");
}

TEST(LspPositions, CountUtf16UnitsAndClampEdits) {
    // "あ" is one unit in three bytes, the emoji two units in four bytes.
    TextDocument document("a\xE3\x81\x82" "b\r\n\xF0\x9F\x8E\xB5" "c\n");
    EXPECT_EQ(document.offsetOf({0, 2}), 4u);
    EXPECT_EQ(document.offsetOf({0, 99}), 5u);  // the line's end, before "\r\n"
    EXPECT_EQ(document.offsetOf({1, 2}), 11u);
    EXPECT_EQ(document.offsetOf({7, 0}), document.text().size());
    EXPECT_EQ(TextDocument::unitsOf(document.line(1), 5), 3);
    document.replace({1, 2}, {1, 3}, "d");
    EXPECT_EQ(document.line(1), "\xF0\x9F\x8E\xB5" "d");
    document.replace({0, 3}, {0, 1}, "");  // backwards: from the lower end
    EXPECT_EQ(document.line(0), "a");
    EXPECT_EQ(TextDocument::unitsOf("\xFF\xE3\x81", 3), 3);  // broken bytes: one unit each
}

struct RecordingChecker : Checker {
    std::vector<std::string> checkedTexts;
    CheckResult check(const std::string& path, const OpenBuffers& buffers) override {
        checkedTexts.push_back(buffers.at(path));
        CheckResult result;
        CheckedMessage message;
        message.id = "invalid-token";
        message.text = message.catalogueText = "bad";
        message.place = {path, 1, 2, 3};
        result.messages.push_back(message);
        result.filesRead = {path, "/songs/part.mml"};
        return result;
    }
    CompileResult compile(const std::string&, const OpenBuffers&, const CompileOutputs& outputs) override {
        return {true, 0, 0, {outputs.midi ? "/songs/a.mid" : "/songs/a.vsq"}};
    }
    std::vector<std::string> includeFolders() const override { return {}; }
    std::optional<std::string> fileText(const std::string&) const override { return std::nullopt; }
};

struct SessionTest : ::testing::Test {
    RecordingChecker checker;
    ReferenceTables tables = ReferenceTables::fromTexts(
        "| message | English | when |\n|---|---|---|\n| `bad` | a bad thing | never |\n", "", "file:///m.md");
    std::vector<json> sent;
    Session session{checker, tables, [this](const json& message) { sent.push_back(message); }};

    void send(const json& message) { session.handle(message.dump()); }
    void notify(const std::string& method, json params) {
        send({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
    }
    void open(const std::string& uri, const std::string& text) {
        notify("textDocument/didOpen", {{"textDocument", {{"uri", uri}, {"text", text}, {"version", 1}}}});
    }
    json last() const { return sent.empty() ? json() : sent.back(); }
};

TEST_F(SessionTest, AnswersErrorsByTheRules) {
    send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "textDocument/hover"}, {"params", json::object()}});
    EXPECT_EQ(last()["error"]["code"], -32002);  // before initialize
    send({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "initialize"}, {"params", json::object()}});
    EXPECT_TRUE(last()["result"]["capabilities"]["hoverProvider"]);
    session.handle("{not json");
    EXPECT_EQ(last()["error"]["code"], -32700);
    session.handle("[1,2]");
    EXPECT_EQ(last()["error"]["code"], -32600);
    send({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "no/such"}});
    EXPECT_EQ(last()["error"]["code"], -32601);
    send({{"jsonrpc", "2.0"}, {"id", 4}, {"method", "textDocument/hover"}, {"params", {{"textDocument", 5}}}});
    EXPECT_EQ(last()["error"]["code"], -32602);
    const size_t before = sent.size();
    notify("no/such", json::object());                     // ignored
    notify("textDocument/didChange", {{"textDocument", 7}});  // of the wrong shape: ignored
    EXPECT_EQ(sent.size(), before);
    send({{"jsonrpc", "2.0"}, {"id", 5}, {"method", "shutdown"}});
    EXPECT_TRUE(last()["result"].is_null());
    send({{"jsonrpc", "2.0"}, {"id", 6}, {"method", "textDocument/hover"}});
    EXPECT_EQ(last()["error"]["code"], -32600);  // after shutdown
    notify("exit", json::object());
    EXPECT_TRUE(session.exited());
    EXPECT_EQ(session.exitCode(), 0);
}

TEST_F(SessionTest, CoalescesEditsAndRechecksIncludingDocuments) {
    send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}});
    open("file:///songs/a%20b.mml", "l4 cde\n");
    open("file:///songs/part.mml", "c\n");
    session.idle();
    EXPECT_EQ(session.checks(), 2);
    const json published = last();
    EXPECT_EQ(published["method"], "textDocument/publishDiagnostics");
    const json diagnostic = published["params"]["diagnostics"][0];
    EXPECT_EQ(diagnostic["code"], "invalid-token");
    EXPECT_EQ(diagnostic["range"]["start"], json({{"line", 0}, {"character", 2}}));
    EXPECT_EQ(diagnostic["message"], "bad\n(a bad thing)");
    EXPECT_EQ(diagnostic["codeDescription"]["href"], "file:///m.md#10-messages");
    // Three edits, one check of the document and one of the one including it.
    for (const char* text : {"x", "y", "z"}) {
        const json start = {{"line", 0}, {"character", 0}};
        json change = {{"range", {{"start", start}, {"end", start}}}, {"text", text}};
        notify("textDocument/didChange", {{"textDocument", {{"uri", "file:///songs/part.mml"}}},
                                          {"contentChanges", json::array({change})}});
    }
    session.idle();
    EXPECT_EQ(session.checks(), 4);
    EXPECT_EQ(checker.checkedTexts.back(), "zyxc\n");
    // The file's path is the URI's, its escapes decoded.
    EXPECT_EQ(checker.checkedTexts[2], "l4 cde\n");
    session.idle();
    EXPECT_EQ(session.checks(), 4);  // nothing changed since
}

TEST_F(SessionTest, CompileCommandAnswersAsTheManualSays) {
    send({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}});
    send({{"jsonrpc", "2.0"}, {"id", 2}, {"method", "workspace/executeCommand"},
          {"params", {{"command", "tuvommlc.compile"}, {"arguments", {"file:///songs/a.mml", {{"midi", true}}}}}}});
    EXPECT_EQ(last()["result"],
              json({{"succeeded", true}, {"errors", 0}, {"warnings", 0}, {"outputs", {"/songs/a.mid"}}}));
    send({{"jsonrpc", "2.0"}, {"id", 3}, {"method", "workspace/executeCommand"},
          {"params", {{"command", "other"}, {"arguments", json::array()}}}});
    EXPECT_EQ(last()["error"]["code"], -32602);
}

}  // namespace

// The messages of the protocol: requests answered with a result or an error,
// notifications acted on or ignored. A parameter of the wrong shape makes a
// request's answer InvalidParams and leaves the notification without effect.
#include "lsp/Session.h"

#include <cstdint>
#include <map>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "lsp/Checker.h"
#include "lsp/Features.h"
#include "lsp/ReferenceTables.h"
#include "lsp/TextDocument.h"

using nlohmann::json;

namespace {

// JSON-RPC and LSP error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;

constexpr const char* kCompileCommand = "tuvommlc.compile";

// Thrown for a request of a method the server does not serve.
struct MethodNotFound {};

struct OpenDocument {
    std::string uri;
    TextDocument text;
    bool dirty = true;
    CheckResult checked;
};

// The path a "file:" URI names, its escapes decoded; any other URI stands for
// itself.
std::string pathOf(const std::string& uri) {
    if (!uri.starts_with("file://")) return uri;
    std::string path;
    const std::string rest = uri.substr(7);
    for (size_t at = 0; at < rest.size(); ++at) {
        const auto hex = [](char c) {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        if (rest[at] == '%' && at + 2 < rest.size() && hex(rest[at + 1]) >= 0 && hex(rest[at + 2]) >= 0) {
            path.push_back(static_cast<char>(hex(rest[at + 1]) * 16 + hex(rest[at + 2])));
            at += 2;
        } else {
            path.push_back(rest[at]);
        }
    }
    // "file://host/path": only the local host's files are read.
    if (!path.starts_with("/")) {
        const size_t slash = path.find('/');
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    return path;
}

json rangeJson(int64_t line, int64_t column, int64_t endColumn) {
    return {{"start", {{"line", line}, {"character", column}}},
            {"end", {{"line", line}, {"character", endColumn}}}};
}

int severityCode(CheckedSeverity severity) {
    switch (severity) {
    case CheckedSeverity::Error: return 1;
    case CheckedSeverity::Warning: return 2;
    case CheckedSeverity::Information: return 3;
    }
    return 1;
}

}  // namespace

struct Session::State {
    Checker& checker;
    const ReferenceTables& tables;
    Send send;
    bool initialized = false;
    bool shutDown = false;
    bool exited = false;
    int exitCode = 0;
    int checks = 0;
    std::map<std::string, OpenDocument> documents;  // by path

    void answer(const json& id, json result) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
    }
    void fail(const json& id, int code, const std::string& message) {
        send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
    }

    std::string uriOf(const std::string& path) const {
        const auto open = documents.find(path);
        return open != documents.end() ? open->second.uri : fileUri(path);
    }

    OpenBuffers buffers() const {
        OpenBuffers result;
        for (const auto& [path, document] : documents) result.emplace(path, document.text.text());
        return result;
    }

    // A document changed: it and every open document whose last check read it
    // are checked again when the input goes quiet.
    void changed(const std::string& path) {
        for (auto& [other, document] : documents) {
            if (other == path) {
                document.dirty = true;
                continue;
            }
            for (const std::string& read : document.checked.filesRead) {
                if (read == path) document.dirty = true;
            }
        }
    }

    void check(const std::string& path, OpenDocument& document) {
        document.checked = checker.check(path, buffers());
        document.dirty = false;
        ++checks;
        publish(path, document);
    }

    // The document of `params.textDocument.uri`, checked if it has changed
    // since; throws for a document not open.
    std::pair<const std::string, OpenDocument>& fresh(const json& params) {
        const std::string path = pathOf(params.at("textDocument").at("uri").get<std::string>());
        auto found = documents.find(path);
        if (found == documents.end()) throw std::invalid_argument("the document is not open");
        if (found->second.dirty) check(found->first, found->second);
        return *found;
    }

    json diagnosticOf(const std::string& path, const OpenDocument& document,
                      const CheckedMessage& message) const {
        // A report about another file stands at the directive that includes
        // it, or where the chain leaves this document; one without a place at
        // the start.
        CheckedPlace at = message.place;
        std::string text = message.text;
        if (at.path != path) {
            CheckedPlace outer;
            for (const CheckedStep& step : message.chain) {
                if (step.place.path == path) outer = step.place;
            }
            if (!at.path.empty()) text = at.path + "(" + std::to_string(at.line) + "): " + text;
            at = outer;
        }
        const int64_t line = at.line > 0 ? at.line - 1 : 0;
        int64_t end = at.endColumn;
        if (end <= at.column) {
            const int64_t lineEnd = TextDocument::unitsOf(document.text.line(line), SIZE_MAX);
            end = lineEnd > at.column ? lineEnd : at.column + 1;
        }
        const std::string english = tables.english(message.catalogueText);
        if (!english.empty()) text += "\n(" + english + ")";
        json diagnostic = {{"range", rangeJson(line, at.column, end)},
                           {"severity", severityCode(message.severity)},
                           {"code", message.id},
                           {"source", "tuvommlc"},
                           {"message", text}};
        if (!message.catalogueText.empty() && !tables.messagesLink().empty()) {
            diagnostic["codeDescription"] = {{"href", tables.messagesLink()}};
        }
        json related = json::array();
        if (message.place.line > 0 && message.place.path != path) {
            related.push_back({{"location",
                                {{"uri", uriOf(message.place.path)},
                                 {"range", rangeJson(message.place.line - 1, message.place.column,
                                                     message.place.endColumn)}}},
                               {"message", "reported here"}});
        }
        for (const CheckedStep& step : message.chain) {
            if (step.place.line <= 0) continue;
            related.push_back({{"location",
                                {{"uri", uriOf(step.place.path)},
                                 {"range", rangeJson(step.place.line - 1, step.place.column,
                                                     step.place.endColumn)}}},
                               {"message", step.what}});
        }
        if (!related.empty()) diagnostic["relatedInformation"] = std::move(related);
        return diagnostic;
    }

    void publish(const std::string& path, const OpenDocument& document) {
        json diagnostics = json::array();
        for (const CheckedMessage& message : document.checked.messages) {
            diagnostics.push_back(diagnosticOf(path, document, message));
        }
        send({{"jsonrpc", "2.0"},
              {"method", "textDocument/publishDiagnostics"},
              {"params", {{"uri", document.uri}, {"diagnostics", std::move(diagnostics)}}}});
    }

    DocumentView viewOf(const std::pair<const std::string, OpenDocument>& entry) const {
        // An included file open in the editor is read as it stands there.
        const auto readText = [this](const std::string& path) -> std::optional<std::string> {
            const auto open = documents.find(path);
            if (open != documents.end()) return open->second.text.text();
            return checker.fileText(path);
        };
        return {entry.second.uri, entry.first, entry.second.text.text(), entry.second.checked, tables,
                checker.includeFolders(), readText};
    }

    json capabilities() const {
        return {{"positionEncoding", "utf-16"},
                {"textDocumentSync",
                 {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
                {"hoverProvider", true},
                {"completionProvider", {{"triggerCharacters", {"@", ".", "\\", "\""}}}},
                {"definitionProvider", true},
                {"documentSymbolProvider", true},
                {"inlayHintProvider", true},
                {"executeCommandProvider", {{"commands", {kCompileCommand}}}}};
    }

    json request(const std::string& method, const json& params) {
        if (method == "initialize") {
            initialized = true;
            return {{"capabilities", capabilities()},
                    {"serverInfo", {{"name", "tuvommlc"}, {"version", TUVO_VERSION}}}};
        }
        if (method == "shutdown") {
            shutDown = true;
            return nullptr;
        }
        const auto position = [&](const char* field) {
            return params.at("position").at(field).get<int64_t>();
        };
        if (method == "textDocument/hover") {
            return hoverAt(viewOf(fresh(params)), position("line"), position("character"));
        }
        if (method == "textDocument/completion") {
            return completionAt(viewOf(fresh(params)), position("line"), position("character"));
        }
        if (method == "textDocument/definition") {
            return definitionAt(viewOf(fresh(params)), position("line"), position("character"));
        }
        if (method == "textDocument/documentSymbol") return documentSymbols(viewOf(fresh(params)));
        if (method == "textDocument/inlayHint") {
            const json& range = params.at("range");
            return inlayHints(viewOf(fresh(params)), range.at("start").at("line").get<int64_t>(),
                              range.at("end").at("line").get<int64_t>());
        }
        if (method == "workspace/executeCommand") return executeCommand(params);
        throw MethodNotFound{};
    }

    json executeCommand(const json& params) {
        if (params.at("command").get<std::string>() != kCompileCommand) {
            throw std::invalid_argument("unknown command");
        }
        const json& arguments = params.at("arguments");
        const std::string uri = arguments.at(0).get<std::string>();
        // The files are written beside the song: it needs a folder of its own.
        if (!uri.starts_with("file://")) throw std::invalid_argument("only a file's song can be compiled");
        const std::string path = pathOf(uri);
        CompileOutputs outputs;
        if (arguments.size() > 1 && arguments[1].is_object()) {
            const json& wanted = arguments[1];
            const auto flag = [&](const char* name) {
                return wanted.contains(name) && wanted[name].is_boolean() && wanted[name].get<bool>();
            };
            outputs = {flag("midi"), flag("musicxml"), flag("ustx"), flag("ust")};
        }
        const CompileResult result = checker.compile(path, buffers(), outputs);
        return {{"succeeded", result.succeeded},
                {"errors", result.errors},
                {"warnings", result.warnings},
                {"outputs", result.outputs}};
    }

    void notification(const std::string& method, const json& params) {
        if (method == "exit") {
            exited = true;
            exitCode = shutDown ? 0 : 1;
            return;
        }
        if (!initialized) return;
        if (method == "textDocument/didOpen") {
            const json& item = params.at("textDocument");
            const std::string uri = item.at("uri").get<std::string>();
            std::string text = item.at("text").get<std::string>();
            const std::string path = pathOf(uri);
            if (documents.size() >= kMaxDocuments && !documents.contains(path)) return;
            if (text.size() > kMaxDocumentBytes) return;
            documents[path] = OpenDocument{uri, TextDocument(std::move(text)), true, {}};
            changed(path);
        } else if (method == "textDocument/didChange") {
            const std::string path = pathOf(params.at("textDocument").at("uri").get<std::string>());
            auto found = documents.find(path);
            if (found == documents.end()) return;
            TextDocument edited = found->second.text;
            for (const json& change : params.at("contentChanges")) {
                const std::string& text = change.at("text").get_ref<const std::string&>();
                if (change.contains("range")) {
                    const json& range = change.at("range");
                    const auto at = [](const json& position) {
                        return TextPosition{position.at("line").get<int64_t>(),
                                            position.at("character").get<int64_t>()};
                    };
                    if (edited.text().size() + text.size() > kMaxDocumentBytes) return;
                    edited.replace(at(range.at("start")), at(range.at("end")), text);
                } else {
                    if (text.size() > kMaxDocumentBytes) return;
                    edited.replaceAll(text);
                }
            }
            found->second.text = std::move(edited);
            changed(path);
        } else if (method == "textDocument/didSave") {
            changed(pathOf(params.at("textDocument").at("uri").get<std::string>()));
        } else if (method == "textDocument/didClose") {
            const std::string path = pathOf(params.at("textDocument").at("uri").get<std::string>());
            const auto found = documents.find(path);
            if (found == documents.end()) return;
            const std::string uri = found->second.uri;
            documents.erase(found);
            changed(path);
            // Its messages leave the editor with it.
            send({{"jsonrpc", "2.0"},
                  {"method", "textDocument/publishDiagnostics"},
                  {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
        }
    }

    void handle(const std::string& body) {
        json message = json::parse(body, nullptr, false);
        if (message.is_discarded()) {
            fail(nullptr, kParseError, "the message is not JSON");
            return;
        }
        const bool hasId = message.is_object() && message.contains("id") &&
                           (message["id"].is_number_integer() || message["id"].is_string());
        const json id = hasId ? message["id"] : json(nullptr);
        if (!message.is_object() || !message.contains("method") || !message["method"].is_string()) {
            // An answer to a request of ours (we send none) or no message at all.
            if (!(message.is_object() && (message.contains("result") || message.contains("error")))) {
                fail(id, kInvalidRequest, "not a request");
            }
            return;
        }
        const std::string method = message["method"].get<std::string>();
        const json params = message.contains("params") ? message["params"] : json::object();
        if (!hasId) {
            try {
                notification(method, params);
            } catch (const std::exception&) {
                // A notification of the wrong shape has no effect.
            }
            return;
        }
        if (!initialized && method != "initialize") {
            fail(id, kServerNotInitialized, "the server is not initialized");
            return;
        }
        if (shutDown) {
            fail(id, kInvalidRequest, "the server is shut down");
            return;
        }
        try {
            answer(id, request(method, params));
        } catch (const MethodNotFound&) {
            fail(id, kMethodNotFound, "no method " + method);
        } catch (const json::exception& error) {
            fail(id, kInvalidParams, error.what());
        } catch (const std::invalid_argument& error) {
            fail(id, kInvalidParams, error.what());
        } catch (const std::bad_alloc&) {
            fail(id, kInternalError, "out of memory");
        }
    }
};

Session::Session(Checker& checker, const ReferenceTables& tables, Send send)
    : state_(new State{checker, tables, std::move(send), false, false, false, 0, 0, {}}) {}

Session::~Session() = default;

void Session::handle(const std::string& body) { state_->handle(body); }

void Session::idle() {
    if (!state_->initialized || state_->shutDown) return;
    for (auto& [path, document] : state_->documents) {
        if (document.dirty) state_->check(path, document);
    }
}

bool Session::exited() const { return state_->exited; }
int Session::exitCode() const { return state_->exitCode; }
int Session::checks() const { return state_->checks; }

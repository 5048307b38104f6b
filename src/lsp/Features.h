// The answers to an editor's queries on one document: hover, completion,
// definition, document symbols, inlay hints. Each reads the document's text,
// what its last check found and the documents' tables, and gives the LSP
// result as JSON.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/Checker.h"
#include "lsp/ReferenceTables.h"
#include "lsp/VisibleNames.h"

struct DocumentView {
    const std::string& uri;
    const std::string& path;
    const std::string& text;
    const CheckResult& checked;  // of the text as it is
    const ReferenceTables& tables;
    std::vector<std::string> includeFolders;  // searched after the document's own folder
    ReadText readText;  // for the files it includes
};

nlohmann::json hoverAt(const DocumentView& document, int64_t line, int64_t character);
nlohmann::json completionAt(const DocumentView& document, int64_t line, int64_t character);
nlohmann::json definitionAt(const DocumentView& document, int64_t line, int64_t character);
nlohmann::json documentSymbols(const DocumentView& document);
nlohmann::json inlayHints(const DocumentView& document, int64_t fromLine, int64_t toLine);

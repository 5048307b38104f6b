// The language server's checker built on the pipeline: each check is a
// check-only run of the document with the editor's buffers in front of the
// disk, each compile a run that writes the files beside the document.
#pragma once

#include <memory>

#include "driver/CommandLine.h"
#include "lsp/Checker.h"

// `settings` give the dictionary, the include folders and -u; the input and
// output paths are each check's own.
std::unique_ptr<Checker> createPipelineChecker(const RunSettings& settings);

// tuvommlc --lsp: the language server on standard input and output, with the
// options of a compile that concern reading (-p, -I, -u).
#pragma once

#include <string>
#include <vector>

// True when the arguments ask for the language server.
bool asksForLanguageServer(const std::vector<std::string>& args);
// Serves an editor until it says exit or closes the input; the exit code.
// A rejected option is said on standard error, exit code 1.
int runLanguageServer(const std::vector<std::string>& args, const std::string& exeDir);

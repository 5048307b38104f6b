// Parts of the program built as modules of their own, loaded only by the runs
// that use them: a module opened by its path and kept for the rest of the
// process, and a function it exports found by name.
#pragma once

#include <string>

namespace platform {

// A function of a module, to be cast to its real type before it is called.
using ModuleFunction = void (*)();

// The module at `path`, loaded with every library it needs (all resolved at
// once, so that a missing one fails here and not in the middle of a run) and
// never unloaded, since what it makes lives in its code; null when it cannot
// be loaded (no such file, not a module, a library it needs missing).
void* loadModule(const std::string& path);

// The function `name` that `module` exports, or null when it exports none.
ModuleFunction moduleFunction(void* module, const char* name);

}  // namespace platform

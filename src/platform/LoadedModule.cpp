// Modules loaded through the dynamic loader on POSIX systems and as DLLs on
// Windows.
#include "platform/LoadedModule.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace platform {

void* loadModule(const std::string& path) {
    if (path.find('\0') != std::string::npos) return nullptr;  // no file has such a name
#ifdef _WIN32
    return LoadLibraryA(path.c_str());
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

ModuleFunction moduleFunction(void* module, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<ModuleFunction>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
    return reinterpret_cast<ModuleFunction>(dlsym(module, name));
#endif
}

}  // namespace platform

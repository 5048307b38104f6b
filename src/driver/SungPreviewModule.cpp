// The sung preview's module, loaded once for the process and kept.
#include "driver/SungPreviewModule.h"

#include "driver/DataPaths.h"
#include "platform/LoadedModule.h"
#include "writers/sung/SungPreviewExporter.h"

namespace {

using SungPreviewFactory = decltype(&tuvo_new_sung_preview_exporter);

// The loaded module's factory; the command line sets it before any run.
SungPreviewFactory loadedFactory = nullptr;

}  // namespace

bool loadSungPreview(const std::string& exeDir) {
    if (loadedFactory != nullptr) return true;
    // An unknown folder would leave a bare file name, which the loader looks
    // for among the system's libraries.
    if (exeDir.empty()) return false;
    void* module = platform::loadModule(sungPreviewModulePath(exeDir));
    if (module == nullptr) return false;
    loadedFactory = reinterpret_cast<SungPreviewFactory>(platform::moduleFunction(module, kSungPreviewFactory));
    return loadedFactory != nullptr;
}

std::unique_ptr<SungPreviewExporter> createSungPreviewExporter() {
    return std::unique_ptr<SungPreviewExporter>(loadedFactory != nullptr ? loadedFactory() : nullptr);
}

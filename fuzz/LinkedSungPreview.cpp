// The fuzzers' sung preview: its writer linked into them, since they load no
// module, when the build has its libraries (TUVO_FUZZ_SUNG_PREVIEW).
#include "driver/SungPreviewModule.h"
#include "writers/sung/SungPreviewExporter.h"

bool loadSungPreview(const std::string&) { return TUVO_FUZZ_SUNG_PREVIEW != 0; }

std::unique_ptr<SungPreviewExporter> createSungPreviewExporter() {
#if TUVO_FUZZ_SUNG_PREVIEW
    return std::unique_ptr<SungPreviewExporter>(tuvo_new_sung_preview_exporter());
#else
    return nullptr;
#endif
}

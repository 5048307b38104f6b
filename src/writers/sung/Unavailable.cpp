// The sung preview of a build without its libraries: the command line refuses
// the option (sungPreviewBuilt), so this writer is never asked to write.
#include "writers/sung/SungPreviewExporter.h"

namespace {

class MissingSungPreview final : public SungPreviewExporter {
public:
    bool write(const RenderedSong&, const std::string&, OutputSink&) override { return false; }
};

}  // namespace

bool sungPreviewBuilt() { return false; }

std::unique_ptr<SungPreviewExporter> createSungPreviewExporter() {
    return std::make_unique<MissingSungPreview>();
}

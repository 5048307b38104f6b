// Opening a source file for its reader.
#include "source/SourceReader.h"

#include "text/TextFile.h"

std::unique_ptr<SourceReader> createSourceReader(const std::string& path,
                                                 const TextReading& reading,
                                                 const SourceLocation& includedFrom) {
    auto file = openTextFile(path, reading, includedFrom);
    if (!file) return nullptr;
    return std::make_unique<SourceReader>(std::move(file), path, reading);
}

// An output file written as a new file beside its target and put over the
// target only once it is complete, so a failed or killed write neither leaves a
// partial file behind nor destroys a file that was there before.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/Platform.h"
#include "platform/ReplacementFile.h"

class StagedOutputFile {
public:
    // Chooses where to write for `target`. A regular or missing target gets a
    // fresh, empty file beside it; a symbolic link, dangling or not, stands for
    // the file it leads to. A device is opened and written directly, and one
    // that cannot seek (a pipe, a terminal) is refused before anything goes
    // into it. False when the target is empty, an existing one could not be
    // written, its name cannot be looked up (too long, a loop of links, a
    // folder that cannot be searched), or no new file can be made beside it;
    // failureText() says why.
    bool prepare(const std::string& target);
    // A stream on the file to write, owned and closed by the caller; null on
    // failure, with failureText() saying why.
    std::FILE* openStream();
    // Does all that may fail before the written file is put over the target,
    // short of that step itself (ReplacementFile::finish); the stream must be
    // closed. False when that fails; the new file is then removed and
    // failureText() says why.
    bool finish();
    // Puts the written file over the target, finishing it first if that was
    // not done; the stream must be closed. The file it replaces is kept aside
    // until this object goes. False when that fails; the new file is then
    // removed, the target is as it was and failureText() says why.
    bool commit();
    // Undoes commit: the file the target held is back (no file, where there
    // was none). True when there is nothing to undo; false when it cannot be
    // put back, with failureText() saying why.
    bool putBack();
    const std::string& failureText() const { return failureText_; }
    // The file written: the target, or the file a link there leads to.
    const std::string& place() const { return target_; }

private:
    bool fail(int errorNumber);

    std::string target_;
    std::unique_ptr<platform::ReplacementFile> replacement_;  // null when written directly
    std::unique_ptr<std::FILE, platform::FileCloser> device_;  // a target written directly
    std::string failureText_;
};

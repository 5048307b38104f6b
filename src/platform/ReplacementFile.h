// A new file made in the folder of the file it is to become, written through a
// stream of its own and put at its place in one step once it is complete. Until
// then nothing at the place changes, and a file given up (or a process killed
// while writing) leaves nothing behind where the system allows unnamed files,
// otherwise at most one file under a short temporary name, which the next
// replacement made in that folder removes once its process has ended.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace platform {

class ReplacementFile {
public:
    virtual ~ReplacementFile() = default;  // removes the file unless it was put in place
    // A stream that writes the file from its start, owned and closed by the
    // caller. Null on failure, with the system's error number in `errorNumber`.
    virtual std::FILE* openStream(int& errorNumber) = 0;
    // Does all that may fail before the file is put in place, short of the
    // rename itself: closes it and gives an unnamed file its temporary name.
    // The stream must be closed by then. False on failure, with the system's
    // error number in `errorNumber`; the file is then removed.
    virtual bool finish(int& errorNumber) = 0;
    // Puts the written file at its place, replacing what is there in one step,
    // after finishing it if that was not done. False on failure, with the
    // system's error number in `errorNumber`; the file is then removed.
    virtual bool putInPlace(int& errorNumber) = 0;
};

// An empty new file for `target`, with the access rights, owner, group and
// extended attributes of the file it replaces (see keepAttributes), or the
// usual ones for a new file. Null when no file can be made
// in that folder, with the system's error number in `errorNumber`.
std::unique_ptr<ReplacementFile> createReplacementFile(const std::string& target,
                                                       int& errorNumber);

}  // namespace platform

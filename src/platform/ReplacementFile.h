// A new file made in the folder of the file it is to become, written through a
// stream of its own and put at its place in one step once it is complete. Until
// then nothing at the place changes, and a file given up (or a process killed
// while writing) leaves nothing behind where the system allows unnamed files,
// otherwise at most one file under a short temporary name, which the next
// replacement made in that folder removes once no process holds it. The file
// it replaces is kept aside until the replacement is let go of, so that it can
// be put back when another file of the same run cannot be put in place.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace platform {

class ReplacementFile {
public:
    // Removes the new file unless it was put in place; once it was, removes
    // the file it replaced, kept aside until now.
    virtual ~ReplacementFile() = default;
    // A stream that writes the file from its start, owned and closed by the
    // caller. Null on failure, with the system's error number in `errorNumber`.
    virtual std::FILE* openStream(int& errorNumber) = 0;
    // Does all that may fail before the file is put in place, short of the
    // rename itself: gives an unnamed file its temporary name. The stream must
    // be closed by then. False on failure, with the system's error number in
    // `errorNumber`; the file is then removed.
    virtual bool finish(int& errorNumber) = 0;
    // Puts the written file at its place, replacing what is there in one step,
    // after finishing it if that was not done; the file replaced stays aside
    // (under a temporary name) until putBack or the destructor. False on
    // failure, with the system's error number in `errorNumber`; the file is
    // then removed and the place is as it was.
    virtual bool putInPlace(int& errorNumber) = 0;
    // Undoes putInPlace: the file that was at the place is back there in one
    // step (no file, where there was none), and the new file is removed. True
    // when there is nothing to undo. False when the old file could not be kept
    // aside (a file system that neither swaps two files nor takes a second
    // name for one) or cannot be put back, with the system's error number in
    // `errorNumber`; the new file then stays at the place.
    virtual bool putBack(int& errorNumber) = 0;
};

// An empty new file for `target`, with the access rights, owner, group and
// extended attributes of the file it replaces (see keepAttributes), or the
// usual ones for a new file. Null when no file can be made
// in that folder, with the system's error number in `errorNumber`.
std::unique_ptr<ReplacementFile> createReplacementFile(const std::string& target,
                                                       int& errorNumber);

}  // namespace platform

// The few services the program needs from the operating system, behind one
// small interface so the rest of the code builds unchanged on Windows and on
// POSIX systems.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace platform {

// Full path of the running executable; empty when it cannot be found.
std::string executablePath();

// The directory separator used when the program joins paths of its own.
char pathSeparator();

// True when a file-system entry of any kind (a directory too) exists at `path`.
bool pathExists(const std::string& path);

// True when the system can look `path` up, following links: there is an entry,
// or none (ENOENT) that a write could make. False, with the system's error
// number in `errorNumber`, when the lookup itself fails: a name too long for
// its folder, a loop of links, a folder that cannot be searched, a file where
// a folder should be.
bool canLookUp(const std::string& path, int& errorNumber);

// Opens `path` for reading bytes, without waiting. On failure returns null and
// puts the system's error number in `errorNumber`. Only a regular file is
// read: a directory is refused with EISDIR everywhere (also where the C library
// would open it as an empty stream), anything else (a named pipe, a device, a
// terminal) with ESPIPE.
std::FILE* openForReading(const std::string& path, int& errorNumber);

// Opens an existing file that is not a regular file (a device, a pipe) for
// writing bytes from its start, without waiting for a reader to come. Refused
// with ESPIPE when it cannot seek (a pipe, a terminal): such a file would take
// a partial file at once and could never be put right. On failure returns null
// with the system's error number in `errorNumber`.
std::FILE* openDeviceForWriting(const std::string& path, int& errorNumber);

// Closes a stream held by a std::unique_ptr when it goes, on every way out.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// What tells one file from another whatever the names it is reached by (links,
// relative and absolute paths, spellings): its device and its number there.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t number = 0;
    bool operator==(const FileIdentity&) const = default;
    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file at `path` (after links), or nothing when there is none.
std::optional<FileIdentity> fileIdentity(const std::string& path);
// The identity of the file open on `file`, or nothing when the system cannot tell.
std::optional<FileIdentity> fileIdentity(std::FILE* file);

// Lets a write past the process's file-size limit fail with EFBIG, as a full
// disk fails, instead of ending the process without a word.
void reportFileSizeLimitAsError();

// Moves standard output aside for a protocol spoken on it: returns a stream
// on the original standard output (binary, as is standard input from then
// on), and points the process's standard output at standard error, so that
// nothing else printed can come between the protocol's bytes. A write to an
// output closed at its other end then fails instead of ending the process.
// Null when the system refuses.
std::FILE* takeStandardOutput();

// True when standard error is a terminal (where colour may be used), false
// when it goes to a file or a pipe.
bool standardErrorIsTerminal();

// The system's text for an error number, as the standard library gives it.
std::string systemErrorText(int errorNumber);

// How many processors this process may run on (those it is bound to, where the system
// says); at least 1.
unsigned processorsToRunOn();

// The error number to report for a failure: `errorNumber`, or EIO when the
// failing call set none.
inline int failureErrorNumber(int errorNumber) { return errorNumber != 0 ? errorNumber : EIO; }

}  // namespace platform

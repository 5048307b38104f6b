// The few services the program needs from the operating system, behind one
// small interface so the rest of the code builds unchanged on Windows and on
// POSIX systems.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Full path of the running executable; empty when it cannot be found.
std::string executablePath();

// The directory separator used when the program joins paths of its own.
char pathSeparator();

// True when a file-system entry of any kind (a directory too) exists at `path`.
bool pathExists(const std::string& path);

// Opens `path` for reading bytes. On failure returns null and puts the system's
// error number in `errorNumber`. A directory is refused (EISDIR) everywhere,
// also where the C library would open it as an empty stream.
std::FILE* openForReading(const std::string& path, int& errorNumber);

// The system's text for an error number, as the standard library gives it.
std::string systemErrorText(int errorNumber);

}  // namespace platform

// The platform layer for Windows and for POSIX systems.
#include "platform/Platform.h"

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace platform {

std::string executablePath() {
#ifdef _WIN32
    char buffer[MAX_PATH] = {};
    const DWORD size = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, size);
#else
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t size = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (size < 0) return {};
        if (static_cast<size_t>(size) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(size));
        buffer.resize(buffer.size() * 2);
    }
#endif
}

char pathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

bool pathExists(const std::string& path) {
    if (path.find('\0') != std::string::npos) return false;  // no file has such a name
#ifdef _WIN32
    struct _stat info;
    return _stat(path.c_str(), &info) == 0;
#else
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
#endif
}

bool canLookUp(const std::string& path, int& errorNumber) {
    if (path.find('\0') != std::string::npos) {
        errorNumber = ENOENT;
        return false;
    }
#ifdef _WIN32
    struct _stat info;
    if (_stat(path.c_str(), &info) == 0 || errno == ENOENT) return true;
#else
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 || errno == ENOENT) return true;
#endif
    errorNumber = errno;
    return false;
}

std::FILE* openForReading(const std::string& path, int& errorNumber) {
    if (path.find('\0') != std::string::npos) {
        errorNumber = ENOENT;  // the system would open the name cut at the zero byte
        return nullptr;
    }
#ifdef _WIN32
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        errorNumber = errno;
        return nullptr;
    }
    struct _stat info;
    if (_fstat(_fileno(file), &info) == 0 && (info.st_mode & _S_IFMT) != _S_IFREG) {
        std::fclose(file);
        errorNumber = (info.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : ESPIPE;
        return nullptr;
    }
    return file;
#else
    // Without O_NONBLOCK, opening a named pipe would wait for a writer, for
    // ever, past every stop signal.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        errorNumber = errno;
        return nullptr;
    }
    struct stat info;
    std::FILE* file = nullptr;
    if (::fstat(descriptor, &info) != 0) {
        errorNumber = errno;
    } else if (!S_ISREG(info.st_mode)) {
        // A folder, a pipe, a device or a terminal: no source is read from one
        // (a pipe or a terminal could keep the run waiting, a device such as
        // /dev/zero never end).
        errorNumber = S_ISDIR(info.st_mode) ? EISDIR : ESPIPE;
    } else if ((file = ::fdopen(descriptor, "rb")) == nullptr) {
        errorNumber = errno;
    }
    if (file == nullptr) ::close(descriptor);
    return file;
#endif
}

std::FILE* openDeviceForWriting(const std::string& path, int& errorNumber) {
    if (path.find('\0') != std::string::npos) {
        errorNumber = ENOENT;
        return nullptr;
    }
#ifdef _WIN32
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) errorNumber = errno;
    return file;
#else
    // Without O_NONBLOCK, opening a pipe nobody reads would wait for ever.
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        errorNumber = errno;
        return nullptr;
    }
    std::FILE* file = nullptr;
    if (::lseek(descriptor, 0, SEEK_CUR) < 0) {
        errorNumber = ESPIPE;
    } else if (::fcntl(descriptor, F_SETFL, 0) != 0 ||
               (file = ::fdopen(descriptor, "wb")) == nullptr) {
        errorNumber = errno;
    }
    if (file == nullptr) ::close(descriptor);
    return file;
#endif
}

#ifdef _WIN32
namespace {

std::optional<FileIdentity> handleIdentity(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
        return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    auto identity = handleIdentity(handle);
    CloseHandle(handle);
    return identity;
}

std::optional<FileIdentity> fileIdentity(std::FILE* file) {
    return handleIdentity(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
}

void reportFileSizeLimitAsError() {}  // the system has no such signal
#else
namespace {

FileIdentity statIdentity(const struct stat& info) {
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

std::optional<FileIdentity> fileIdentity(const std::string& path) {
    struct stat info;
    if (path.empty() || path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return statIdentity(info);
}

std::optional<FileIdentity> fileIdentity(std::FILE* file) {
    struct stat info;
    if (::fstat(fileno(file), &info) != 0) return std::nullopt;
    return statIdentity(info);
}

void reportFileSizeLimitAsError() { std::signal(SIGXFSZ, SIG_IGN); }
#endif

std::FILE* takeStandardOutput() {
    std::fflush(stdout);
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    const int protocol = _dup(1);
    if (protocol < 0 || _dup2(2, 1) != 0) return nullptr;
    _setmode(protocol, _O_BINARY);
    return _fdopen(protocol, "wb");
#else
    std::signal(SIGPIPE, SIG_IGN);
    const int protocol = dup(1);
    if (protocol < 0 || dup2(2, 1) < 0) return nullptr;
    fcntl(protocol, F_SETFD, FD_CLOEXEC);
    return fdopen(protocol, "wb");
#endif
}

std::string systemErrorText(int errorNumber) { return std::strerror(errorNumber); }

unsigned processorsToRunOn() {
#if defined(__linux__)
    // A process bound to some processors (taskset, a container's cpuset) sees them here;
    // the standard library counts every processor of the machine.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        const int count = CPU_COUNT(&allowed);
        if (count > 0) return static_cast<unsigned>(count);
    }
#endif
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? count : 1;
}

bool standardErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

}  // namespace platform

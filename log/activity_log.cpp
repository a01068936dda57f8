#include "log/activity_log.h"

#include "identity/app_identity.h"
#include "platform/text.h"
#include "platform/user_folders.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Serialises the writers of this process; flock keeps other processes out.
std::mutex g_logLock;
// Set by the command line's --log.
std::wstring g_logFileOverride;
// Told of every write that fails; none by default.
ActivityLogErrorHandler g_logErrorHandler;

bool PathExists(const std::wstring& path) {
    struct stat info {};
    return ::stat(platform::EncodeLocal(path).c_str(), &info) == 0;
}

bool IsWritableFolder(const std::wstring& path) {
    if (path.empty())
        return false;
    const std::string local = platform::EncodeLocal(path);
    struct stat info {};
    return ::stat(local.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(local.c_str(), W_OK | X_OK) == 0;
}

bool IsSystemFolder(const std::wstring& path) {
    return platform::IsSystemFolder(platform::EncodeLocal(path));
}

// The text as the locale's bytes, cut to the limit at a character boundary.
std::string EncodeForLog(std::wstring_view text) {
    text = text.substr(0, text.find(L'\0'));
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string bytes = platform::EncodeLocal(text.substr(i, 1));
        if (out.size() + bytes.size() > kActivityLogWriteLimit)
            break;
        out += bytes;
    }
    return out;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens the log for appending and locks it. Another process may delete the
// file (Clear Log) between our open and our lock; then the lock is on a file
// nobody will see again, so open the new one instead.
int OpenLocked(const std::string& path) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0)
            return -1;
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        struct stat opened {};
        struct stat named {};
        if (locked == 0 && ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
            return fd;
        ::close(fd);
        if (locked != 0)
            return -1;
    }
    return -1;
}

} // namespace

std::wstring ReadRegistryString(std::optional<platform::RegistryKey> key,
                                std::wstring_view valueName) {
    std::wstring text;
    if (key) {
        // The value had to fit 260 wide characters with its terminator.
        if (auto value = key->QueryString(valueName); value && value->size() <= kMaxPathChars)
            text = std::move(*value);
        key->Close();
    }
    return text;
}

void SetActivityLogFile(std::wstring path) {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logFileOverride = std::move(path);
}

std::wstring ResolveActivityLogPath() {
    if (!g_logFileOverride.empty())
        return g_logFileOverride;
    std::wstring folder =
        ReadRegistryString(platform::RegistryKey::OpenClassesRoot(g_appRegistryKey), L"LogPath");
    if (folder.empty() || !PathExists(folder) || IsSystemFolder(folder)) {
        folder = ReadRegistryString(platform::RegistryKey::OpenClassesRoot(g_appRegistryKey),
                                    L"FilePath");
        // A system-wide data folder is not the user's to write, nor root's
        // (a package owns it): the log then goes to the user's state folder.
        if (!IsWritableFolder(folder) || IsSystemFolder(folder))
            if (const auto state = platform::MakeUserStateFolder(); !state.empty())
                folder = platform::DecodeLocal(state.native());
    }
    if (folder.empty() || folder.back() != platform::kNativeSeparator)
        folder += platform::kNativeSeparator;
    return folder + kActivityLogName;
}

void SetActivityLogErrorHandler(ActivityLogErrorHandler handler) {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logErrorHandler = std::move(handler);
}

namespace {

// Appends what `bytesFor` makes of the log as it stands (an open descriptor
// and its size), under the lock of this process and the file's own lock.
int AppendToLog(const std::function<std::string(int fd, off_t size)>& bytesFor) {
    std::lock_guard<std::mutex> lock(g_logLock);
    const std::wstring logPath = ResolveActivityLogPath();
    const std::string path = platform::EncodeLocal(logPath);
    // Its permissions are the user's: a read-only log stays read-only and
    // goes unwritten.
    const int fd = OpenLocked(path);
    int error = fd < 0 ? errno : 0;
    bool written = false;
    if (fd >= 0) {
        struct stat info {};
        if (::fstat(fd, &info) != 0) {
            error = errno;
        } else {
            // Emptied in place under the lock: deleting it would let a writer
            // of another process append to a file that is already gone.
            const bool outgrown = static_cast<std::uint64_t>(info.st_size) > kActivityLogLimit;
            const bool fits = !outgrown || ::ftruncate(fd, 0) == 0;
            written = fits && WriteAll(fd, bytesFor(fd, outgrown ? 0 : info.st_size));
            if (!written)
                error = errno;
        }
        // Closing drops the lock too.
        if (::close(fd) != 0 && written) {
            written = false;
            error = errno;
        }
    }
    if (!written && g_logErrorHandler)
        g_logErrorHandler(logPath, error);
    return written ? 1 : 0;
}

} // namespace

int WriteActivityLog(std::wstring_view text) {
    const std::string bytes = EncodeForLog(text);
    return AppendToLog([&bytes](int, off_t) { return bytes; });
}

int StartActivityLogLine() {
    return AppendToLog([](int fd, off_t size) {
        char last = '\n';
        if (size > 0 && ::pread(fd, &last, 1, size - 1) != 1)
            last = '\n';
        return last == '\n' ? std::string() : std::string("\r\n");
    });
}

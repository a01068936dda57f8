#include "engine/output_file.h"

#include "engine/output_paths.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr wchar_t kSep = platform::kNativeSeparator;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { Reset(-1); }
    void Reset(int fd) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool IsLink(int folder, const std::string& name) {
    struct stat st {};
    return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode);
}

// Opens `destination` (following links: the user chose it), making it first
// when it is missing and `create` says so.
OutputStatus OpenDestination(const std::wstring& destination, bool create, Descriptor& folder) {
    if (create)
        CreateFolderPath(destination);
    const std::string native = platform::EncodeLocal(destination.empty() ? L"." : destination);
    folder.Reset(::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0)
        return OutputStatus::systemError;
    return OutputStatus::opened;
}

// Steps from `folder` into its sub-folder `name`, making it when missing
// and `create` says so.
OutputStatus EnterFolder(Descriptor& folder, const std::string& name, bool create) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int next =
            ::openat(folder.Get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next >= 0) {
            folder.Reset(next);
            return OutputStatus::opened;
        }
        const int error = errno;
        if (IsLink(folder.Get(), name))
            return OutputStatus::linkInTheWay;
        if (error != ENOENT || !create)
            return OutputStatus::systemError;
        // Made here, or by someone else meanwhile: the second round opens it.
        if (::mkdirat(folder.Get(), name.c_str(), 0777) != 0 && errno != EEXIST)
            return OutputStatus::systemError;
    }
    return OutputStatus::systemError;
}

// The parts of a relative path; "." and empty parts say nothing.
std::vector<std::string> PartsOf(const std::wstring& below, bool& leaves) {
    std::vector<std::string> parts;
    leaves = false;
    std::size_t start = 0;
    while (start <= below.size()) {
        std::size_t end = below.find(kSep, start);
        if (end == std::wstring::npos)
            end = below.size();
        const std::wstring part = below.substr(start, end - start);
        if (part == L"..")
            leaves = true;
        else if (!part.empty() && part != L".")
            parts.push_back(platform::EncodeLocal(part));
        start = end + 1;
    }
    return parts;
}

// Enters the first `count` parts below `destination`, making what is missing
// when `create` says so.
OutputStatus WalkFolders(const std::wstring& destination, const std::vector<std::string>& parts,
                         std::size_t count, bool create, Descriptor& folder) {
    OutputStatus result = OpenDestination(destination, create, folder);
    for (std::size_t i = 0; i < count && result == OutputStatus::opened; ++i)
        result = EnterFolder(folder, parts[i], create);
    return result;
}

bool IsSource(const struct stat& st, const std::vector<FileIdentity>& sources) {
    const FileIdentity identity{static_cast<std::uint64_t>(st.st_dev),
                                static_cast<std::uint64_t>(st.st_ino)};
    return std::find(sources.begin(), sources.end(), identity) != sources.end();
}

// What stands at `name` and must not be written: a link, a source, a device.
OutputStatus CheckInTheWay(int folder, const std::string& name,
                           const std::vector<FileIdentity>& sources) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return OutputStatus::opened;
    if (S_ISLNK(st.st_mode))
        return OutputStatus::linkInTheWay;
    if (IsSource(st, sources))
        return OutputStatus::sourceInTheWay;
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return OutputStatus::notAFile;
    return OutputStatus::opened;
}

} // namespace

OutputStatus OpenFolderBelow(const std::wstring& destination, const std::wstring& below,
                             FolderMaking making, CFile& folder) {
    bool leaves = false;
    const std::vector<std::string> parts = PartsOf(below, leaves);
    if (leaves)
        return OutputStatus::outside;
    // With nothing below it, the destination is the last folder to make.
    if (parts.empty() && making == FolderMaking::last &&
        ::mkdir(platform::EncodeLocal(destination).c_str(), 0777) != 0 && errno != EEXIST)
        return OutputStatus::systemError;
    Descriptor walked;
    const std::size_t above = parts.empty() ? 0 : parts.size() - 1;
    OutputStatus result =
        WalkFolders(destination, parts, above, making == FolderMaking::all, walked);
    if (result == OutputStatus::opened && !parts.empty())
        result = EnterFolder(walked, parts.back(), making != FolderMaking::none);
    if (result == OutputStatus::opened)
        folder.Attach(walked.Release(), destination + kSep + below, CFile::modeRead);
    return result;
}

int COutputFolderCache::Find(const std::wstring& destination, const std::wstring& folder) const {
    struct stat st {};
    if (m_descriptor < 0 || folder != m_folder || destination != m_destination ||
        ::fstat(m_descriptor, &st) != 0 || st.st_nlink == 0)
        return -1;
    return m_descriptor;
}

void COutputFolderCache::Keep(const std::wstring& destination, const std::wstring& folder,
                              int descriptor) {
    Clear();
    m_destination = destination;
    m_folder = folder;
    m_descriptor = descriptor;
}

void COutputFolderCache::Clear() {
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

namespace {

// The folder of the last part of `below`, made with its parents when
// missing: from `folders` when it is the one kept there. The last part's
// name in `name`.
OutputStatus OpenParentFolder(const std::wstring& destination, const std::wstring& below,
                              COutputFolderCache& folders, int& folder, std::string& name) {
    bool leaves = false;
    const std::vector<std::string> parts = PartsOf(below, leaves);
    if (leaves)
        return OutputStatus::outside;
    // A name ending in a separator names a folder: no file is made there.
    if (parts.empty() || below.back() == kSep)
        return OutputStatus::systemError;
    const std::size_t nameAt = below.rfind(kSep);
    const std::wstring folderPart =
        nameAt == std::wstring::npos ? std::wstring() : below.substr(0, nameAt);
    folder = folders.Find(destination, folderPart);
    if (folder < 0) {
        Descriptor walked;
        const OutputStatus result = WalkFolders(destination, parts, parts.size() - 1, true, walked);
        if (result != OutputStatus::opened)
            return result;
        folder = walked.Get();
        folders.Keep(destination, folderPart, walked.Release());
    }
    name = parts.back();
    return OutputStatus::opened;
}

} // namespace

OutputStatus MakeLinkBelow(const std::wstring& destination, const std::wstring& below,
                           const std::string& linkTarget, std::int64_t modified,
                           const std::vector<FileIdentity>& sources, COutputFolderCache& folders) {
    int folder = -1;
    std::string name;
    if (const OutputStatus result = OpenParentFolder(destination, below, folders, folder, name);
        result != OutputStatus::opened)
        return result;
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (IsSource(st, sources))
            return OutputStatus::sourceInTheWay;
        if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
            return OutputStatus::notAFile;
        if (::unlinkat(folder, name.c_str(), 0) != 0)
            return OutputStatus::systemError;
    }
    if (::symlinkat(linkTarget.c_str(), folder, name.c_str()) != 0)
        return errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS ? OutputStatus::noLinks
                                                                        : OutputStatus::systemError;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(modified);
    times[1].tv_nsec = 0;
    ::utimensat(folder, name.c_str(), times, AT_SYMLINK_NOFOLLOW);
    return OutputStatus::opened;
}

OutputStatus OpenOutputFile(const std::wstring& destination, const std::wstring& below,
                            const std::vector<FileIdentity>& sources, COutputFolderCache& folders,
                            CFile& file) {
    int folder = -1;
    std::string name;
    if (const OutputStatus result = OpenParentFolder(destination, below, folders, folder, name);
        result != OutputStatus::opened)
        return result;
    const OutputStatus result = CheckInTheWay(folder, name, sources);
    if (result != OutputStatus::opened)
        return result;

    // Not truncated on opening: whatever it is, it is looked at first. Not
    // blocking, so that a FIFO put there meanwhile cannot hang the run (on
    // the regular file it turns out to be, the flag does nothing).
    constexpr int kFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    // A file made here is no source, even when it gets the inode of a
    // source deleted since the run began.
    Descriptor output(::openat(folder, name.c_str(), kFlags | O_EXCL, 0666));
    bool made = output.Get() >= 0;
    if (!made && errno == EEXIST)
        output.Reset(::openat(folder, name.c_str(), kFlags, 0666));
    for (int attempt = 0;; ++attempt) {
        if (output.Get() < 0) {
            const int error = errno;
            if (IsLink(folder, name))
                return OutputStatus::linkInTheWay;
            return error == ENXIO ? OutputStatus::notAFile : OutputStatus::systemError;
        }
        struct stat st {};
        if (::fstat(output.Get(), &st) != 0)
            return OutputStatus::systemError;
        if (!S_ISREG(st.st_mode))
            return OutputStatus::notAFile;
        if (!made && IsSource(st, sources))
            return OutputStatus::sourceInTheWay;
        if (made || st.st_nlink <= 1 || attempt > 0)
            break;
        // A hard link: writing through it would change the file under its
        // other names too. A file of its own takes its place.
        output.Reset(-1);
        if (::unlinkat(folder, name.c_str(), 0) != 0)
            return OutputStatus::systemError;
        output.Reset(::openat(folder, name.c_str(), kFlags | O_EXCL, 0666));
        made = output.Get() >= 0;
    }
    // A file made here is empty already: one system call less per entry.
    if (!made && ::ftruncate(output.Get(), 0) != 0)
        return OutputStatus::systemError;
    std::wstring path = destination;
    if (path.empty() || path.back() != kSep)
        path += kSep;
    file.Attach(output.Release(), path + below, CFile::modeCreate | CFile::modeWrite);
    return result;
}

OutputTarget SplitAtDestination(const std::wstring& destination, const std::wstring& folder) {
    auto trimmed = [](std::wstring text) {
        while (text.size() > 1 && text.back() == kSep)
            text.pop_back();
        return text;
    };
    const std::wstring base = trimmed(destination);
    const std::wstring whole = trimmed(folder);
    if (base.empty() || whole.compare(0, base.size(), base) != 0)
        return {whole, {}};
    if (whole.size() == base.size())
        return {base, {}};
    if (base.back() == kSep)
        return {base, whole.substr(base.size())};
    if (whole[base.size()] == kSep)
        return {base, whole.substr(base.size() + 1)};
    return {whole, {}};
}

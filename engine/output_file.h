// Opening an entry's output file below the destination. The destination the
// user chose may itself be a link; nothing below it is followed, so a link
// already in the destination cannot send an entry elsewhere. No file that is
// one of the run's sources is ever opened for writing.
#pragma once

#include "platform/file.h"

#include <cstdint>
#include <string>
#include <vector>

enum class OutputStatus {
    opened,
    linkInTheWay,   // a link stands where a folder or the file should be
    sourceInTheWay, // the file is one of the run's sources
    notAFile,       // a device, FIFO or socket stands where the file should be
    outside,        // a ".." part would leave the destination
    systemError,    // the system refused (no room, no right, a file where a folder goes)
    noLinks,        // the file system cannot hold symbolic links
};

// Which missing folders OpenFolderBelow makes.
enum class FolderMaking {
    none,
    last, // the folders above it must exist
    all,  // the destination itself too
};

// Opens the folder `below` (relative, native separators) under
// `destination` into `folder`, without following links below
// `destination`, making what `making` says when it is missing.
OutputStatus OpenFolderBelow(const std::wstring& destination, const std::wstring& below,
                             FolderMaking making, CFile& folder);

// The folder of the last output file, kept open: the entries of an archive
// mostly share their folders, and walking to one anew costs a descriptor
// for every part of its path.
class COutputFolderCache {
public:
    COutputFolderCache() = default;
    COutputFolderCache(const COutputFolderCache&) = delete;
    COutputFolderCache& operator=(const COutputFolderCache&) = delete;
    ~COutputFolderCache() { Clear(); }

    // The descriptor kept for `folder` below `destination`; -1 when none is,
    // or when that folder has been deleted since.
    int Find(const std::wstring& destination, const std::wstring& folder) const;
    // Keeps `descriptor` (owned from now on) for `folder` below `destination`.
    void Keep(const std::wstring& destination, const std::wstring& folder, int descriptor);
    void Clear();

private:
    std::wstring m_destination;
    std::wstring m_folder;
    int m_descriptor = -1;
};

// Makes the missing folders of `below`, and `destination` itself, without
// following links below `destination`, and opens the last part of `below`
// for writing into `file`, emptied only once it is known not to be a source.
OutputStatus OpenOutputFile(const std::wstring& destination, const std::wstring& below,
                            const std::vector<FileIdentity>& sources, COutputFolderCache& folders,
                            CFile& file);

// Makes the missing folders of `below` as OpenOutputFile does and a
// symbolic link to `linkTarget` at its last part, with the time `modified`.
// A file or link already there (an earlier run's) gives way; a source, a
// folder or anything else does not.
OutputStatus MakeLinkBelow(const std::wstring& destination, const std::wstring& below,
                           const std::string& linkTarget, std::int64_t modified,
                           const std::vector<FileIdentity>& sources, COutputFolderCache& folders);

// Where an output goes: the destination, and the path below it.
struct OutputTarget {
    std::wstring destination;
    std::wstring below;
};

// `folder` split at `destination`, or all of `folder` (as its own
// destination) when it does not lie below `destination`.
OutputTarget SplitAtDestination(const std::wstring& destination, const std::wstring& folder);

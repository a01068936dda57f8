#include "workflow/destination_check.h"

#include "engine/output_paths.h"
#include "platform/text.h"

#include <cstdlib>
#include <unistd.h>

bool DestinationExists(const std::wstring& folder) {
    return !folder.empty() && GetPathKind(folder) == PathKind::folder;
}

bool DestinationWritable(const std::wstring& folder) {
    // No folder chosen is no folder to write to, not the root.
    if (folder.empty())
        return false;
    std::string pattern = platform::EncodeLocal(folder);
    if (pattern.back() != '/')
        pattern += '/';
    pattern += ".kelvane-write-test-XXXXXX";
    // mkstemp creates with O_EXCL under a name no file has.
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(pattern.c_str());
    return true;
}

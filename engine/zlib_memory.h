// The decompressor's allocator: blocks are recorded in the archive's list
// (the opaque pointer) so that an abandoned stream's memory is reclaimed.
#pragma once

#include <zlib.h>

voidpf ZipAllocate(voidpf opaque, uInt items, uInt size);
void ZipFree(voidpf opaque, voidpf block);

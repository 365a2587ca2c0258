// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#include "core/app/MemoryReuse.h"

#include <malloc.h>

void keepFreedMemoryForReuse()
{
#if defined(__GLIBC__)
    // Blocks up to 32 MB come from the heap, where freed ones are reused; the heap gives back
    // its free top only beyond 64 MB. A page's buffers are a few megabytes at most, so memory
    // stays at what one page needs.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

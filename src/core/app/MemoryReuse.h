// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kotrina developers
#pragma once

// Keeps the memory a finished page freed for the next page. The PDF engine compresses every
// page with zlib, whose buffers are freed after the page; glibc's allocator hands such blocks
// straight back to the system (they are large enough to be mapped on their own, or they leave
// the top of the heap free), and the next page faults the same amount in again: about a third
// of the time a PDF takes. Raised thresholds keep them in the heap for reuse. Called once, at
// the start of the program, before anything is allocated in earnest.
void keepFreedMemoryForReuse();

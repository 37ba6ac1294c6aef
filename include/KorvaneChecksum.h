// The disc checksum of one file, for hosts that show or record checksums:
// the unsigned 32-bit sum of the CRC-32/BZIP2 values of the file's 16 KiB
// blocks, the last one padded with zero bytes (one more all-zero block when
// the size is a multiple of 16 KiB). 0xFFFFFFFF when the file cannot be
// opened. Reports no progress and writes no trace.
#pragma once

#include "Korvane.h"

// Plain C convention, so the 32-bit DLL exports it by its plain name.
extern "C" KORVANE_API DWORD KorvaneFileChecksum(LPCWSTR pszPath);

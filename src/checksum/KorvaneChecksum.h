// The disc checksum of one file, for the tool and the host library: the
// unsigned 32-bit sum of the CRC-32/BZIP2 values of the file's 16 KiB
// blocks, the last one padded with zero bytes (one more all-zero block when
// the size is a multiple of 16 KiB). 0xFFFFFFFF when the file cannot be
// opened. Reports no progress and writes no trace.
//
// Part of the static checksum library, not of Korvane's exports: the DLL
// exports CKorvane and FDesc only.
#pragma once

#include <windows.h>

DWORD KorvaneFileChecksum(LPCWSTR pszPath);

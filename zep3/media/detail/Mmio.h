#pragma once
// The platform's multimedia-file calls, reading only: a RIFF walker over a
// buffered stdio file. Chunks are found wherever they lie inside their
// parent; each is skipped by its size plus the pad byte of an odd size.
// Offsets are 64-bit inside, so no size in a damaged file can wrap the
// walk around; a chunk's fields are the file's own (a size may claim more
// bytes than the file holds).
#include <zep3/media/MMSystem.h>
#include <zep3/platform/Export.h>

#include <cstdio> // SEEK_SET, SEEK_CUR, SEEK_END

#define MMIO_READ 0x00000000u
#define MMIO_ALLOCBUF 0x00010000u
#define MMIO_FINDCHUNK 0x0010u
#define MMIO_FINDRIFF 0x0020u
#define MMIO_FINDLIST 0x0040u

#define MMIOERR_BASE 256u
#define MMIOERR_CANNOTSEEK (MMIOERR_BASE + 7)
#define MMIOERR_CHUNKNOTFOUND (MMIOERR_BASE + 9)

namespace zep3::detail {

// Opens fileName for buffered reading (flags MMIO_READ, with or without
// MMIO_ALLOCBUF); null when it cannot be opened.
ZEP3_TEST_API HMMIO mmioOpen(const char* fileName, DWORD flags);
ZEP3_TEST_API MMRESULT mmioClose(HMMIO file);
// Bytes read (0 at the end), -1 on an error or a bad argument.
ZEP3_TEST_API LONG mmioRead(HMMIO file, char* buffer, LONG size);
// The new position, -1 when it cannot be reached.
ZEP3_TEST_API long long mmioSeek(HMMIO file, long long offset, int origin);
// The file's size in bytes; -1 for a bad handle.
ZEP3_TEST_API long long mmioFileSize(HMMIO file);
// Looks, from the current position up to the parent's end (the file's end
// without a parent), for the chunk ck->ckid (MMIO_FINDCHUNK), a "RIFF" or
// "LIST" chunk of form ck->fccType (MMIO_FINDRIFF, MMIO_FINDLIST) or any
// chunk (no flag); on success fills *ck and stands at the chunk's data
// (after the form type of "RIFF" and "LIST"). MMIOERR_CHUNKNOTFOUND otherwise.
ZEP3_TEST_API MMRESULT mmioDescend(HMMIO file, MMCKINFO* ck, const MMCKINFO* parent, UINT flags);
// Moves behind the chunk (and its pad byte).
ZEP3_TEST_API MMRESULT mmioAscend(HMMIO file, MMCKINFO* ck, UINT flags);

} // namespace zep3::detail

#include <zep3/media/detail/Mmio.h>

#include <cstdint>
#include <cstring>
#include <sys/stat.h>

namespace zep3::detail {
namespace {

struct MmioFile {
    FILE* file;
    long long size;
};

MmioFile* FromHandle(HMMIO handle) { return reinterpret_cast<MmioFile*>(handle); }

long long Tell(MmioFile* f) { return ftello(f->file); }

bool SeekTo(MmioFile* f, long long offset) { return offset >= 0 && fseeko(f->file, offset, SEEK_SET) == 0; }

bool ReadExactly(MmioFile* f, void* to, size_t size) { return fread(to, 1, size, f->file) == size; }

DWORD LittleEndian32(const unsigned char* b) { return DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24; }

bool HasForm(FOURCC id) { return id == mmioFOURCC('R', 'I', 'F', 'F') || id == mmioFOURCC('L', 'I', 'S', 'T'); }

bool Matches(const MMCKINFO& found, const MMCKINFO& wanted, UINT flags) {
    if (flags & MMIO_FINDCHUNK) return found.ckid == wanted.ckid;
    if (flags & MMIO_FINDRIFF) return found.ckid == mmioFOURCC('R', 'I', 'F', 'F') && found.fccType == wanted.fccType;
    if (flags & MMIO_FINDLIST) return found.ckid == mmioFOURCC('L', 'I', 'S', 'T') && found.fccType == wanted.fccType;
    return true;
}

} // namespace

HMMIO mmioOpen(const char* fileName, DWORD flags) {
    if (!fileName || (flags & ~MMIO_ALLOCBUF) != MMIO_READ) return nullptr;
    FILE* file = fopen(fileName, "rbe");
    if (!file) return nullptr;
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(file);
        return nullptr;
    }
    return reinterpret_cast<HMMIO>(new MmioFile{file, static_cast<long long>(st.st_size)});
}

MMRESULT mmioClose(HMMIO handle) {
    MmioFile* f = FromHandle(handle);
    if (!f) return MMSYSERR_INVALHANDLE;
    fclose(f->file);
    delete f;
    return MMSYSERR_NOERROR;
}

LONG mmioRead(HMMIO handle, char* buffer, LONG size) {
    MmioFile* f = FromHandle(handle);
    if (!f || size < 0 || (!buffer && size > 0)) return -1;
    const size_t n = fread(buffer, 1, static_cast<size_t>(size), f->file);
    return n == 0 && ferror(f->file) ? -1 : static_cast<LONG>(n);
}

long long mmioSeek(HMMIO handle, long long offset, int origin) {
    MmioFile* f = FromHandle(handle);
    if (!f) return -1;
    const long long base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? Tell(f) : origin == SEEK_END ? f->size : -1;
    if (base < 0 || !SeekTo(f, base + offset)) return -1;
    return base + offset;
}

long long mmioFileSize(HMMIO handle) {
    MmioFile* f = FromHandle(handle);
    return f ? f->size : -1;
}

MMRESULT mmioDescend(HMMIO handle, MMCKINFO* ck, const MMCKINFO* parent, UINT flags) {
    MmioFile* f = FromHandle(handle);
    if (!f || !ck) return MMSYSERR_INVALPARAM;
    const long long end = parent ? static_cast<long long>(parent->dwDataOffset) + parent->cksize : f->size;
    for (long long at = Tell(f); at >= 0 && at + 8 <= end; ) {
        unsigned char header[8];
        if (!ReadExactly(f, header, sizeof header)) break;
        MMCKINFO found = {};
        found.ckid = LittleEndian32(header);
        found.cksize = LittleEndian32(header + 4);
        found.dwDataOffset = static_cast<DWORD>(at + 8);
        if (at + 8 > UINT32_MAX) break;
        const bool hasForm = HasForm(found.ckid);
        if (hasForm) {
            unsigned char form[4];
            if (!ReadExactly(f, form, sizeof form)) break;
            found.fccType = LittleEndian32(form);
        }
        if (Matches(found, *ck, flags)) {
            *ck = found;
            return MMSYSERR_NOERROR;
        }
        at += 8 + static_cast<long long>(found.cksize) + (found.cksize & 1);
        if (!SeekTo(f, at)) break;
    }
    return MMIOERR_CHUNKNOTFOUND;
}

MMRESULT mmioAscend(HMMIO handle, MMCKINFO* ck, UINT /*flags*/) {
    MmioFile* f = FromHandle(handle);
    if (!f || !ck) return MMSYSERR_INVALPARAM;
    const long long end = static_cast<long long>(ck->dwDataOffset) + ck->cksize + (ck->cksize & 1);
    return SeekTo(f, end) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
}

} // namespace zep3::detail

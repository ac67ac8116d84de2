#include <zep3/media/AVIEdit.h>
#include <zep3/media/detail/AviRiff.h>
#include <zep3/media/detail/CodecRegistry.h>

#include <zep3/platform/Clock.h>
#include <zep3/platform/Messages.h>
#include <zep3/platform/Wnd.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

using zep3::detail::AviReader;
using zep3::detail::AviWriter;
using zep3::detail::Picture;
using zep3::detail::VideoCodec;

namespace {

const char kRowOrderName[] = "Dravolin";
const char kUnflippedName[] = "Dravolin-NF"; // 12 bytes with its zero

CString Description(const ICINFO& info) {
    return CString(zep3::detail::InfoText(info.szDescription, 128));
}

// Rows of a picture, top row first, stored the other way round.
void CopyRowsReversed(BYTE* to, const BYTE* from, size_t rowBytes, int rows) {
    for (int y = 0; y < rows; ++y) std::memcpy(to + (rows - 1 - y) * rowBytes, from + y * rowBytes, rowBytes);
}

size_t ImageBytes(const CImageBuffer& image) {
    return size_t(image.GetPixelSize() * image.GetSize().cx + image.GetPaddingBytes()) * size_t(image.GetSize().cy);
}

// Frames are at most 16384 pixels on a side, a limit no camera reaches.
bool SensibleSize(LONG width, LONG height) {
    return width > 0 && width <= 16384 && height != 0 && std::abs(height) <= 16384;
}

} // namespace

CAVIEdit::CAVIEdit() = default;

CAVIEdit::~CAVIEdit() {
    CloseFile();
    CloseWriteFile();
    AllocBuffers(0, 0);
}

void CAVIEdit::AllocBuffers(int width, int height) {
    const size_t bytes = size_t(std::abs(int64_t(width) * height)) * 4;
    if (bytes == m_Buffer1.size()) return;
    if (bytes == 0) {
        std::vector<BYTE>().swap(m_Buffer1);
        std::vector<BYTE>().swap(m_Buffer2);
    } else {
        m_Buffer1.resize(bytes);
        m_Buffer2.resize(bytes);
    }
    m_BufferSize = int(std::min<size_t>(bytes, 0x7FFFFFFF));
}

// ---- reading ----

bool CAVIEdit::OpenFile(CString name, int* bitCount) {
    m_ReadFileName.Empty();
    CloseFile();
    auto stream = std::make_shared<AviReader>();
    if (stream->Open(name.str(), false) != AVIERR_OK || stream->Format().size() != sizeof(BITMAPINFOHEADER))
        return false;
    std::memcpy(&m_ReadInputFormat, stream->Format().data(), sizeof m_ReadInputFormat);
    m_ReadStreamInfo = stream->Info();
    BITMAPINFOHEADER& in = m_ReadInputFormat;
    if (!SensibleSize(in.biWidth, in.biHeight) || in.biBitCount == 0) return false;
    if (in.biSizeImage == 0) in.biSizeImage = DWORD(std::abs(int64_t(in.biBitCount) * in.biHeight * in.biWidth / 8));
    m_bFlipOnRead = std::memcmp(m_ReadStreamInfo.szName, kUnflippedName, sizeof kUnflippedName) != 0 &&
                    in.biHeight > 0;
    if (bitCount) *bitCount = in.biBitCount;
    m_ReadOutputFormat = BITMAPINFOHEADER{};
    m_ReadOutputFormat.biSize = sizeof m_ReadOutputFormat;
    m_ReadOutputFormat.biWidth = in.biWidth;
    m_ReadOutputFormat.biHeight = in.biHeight;
    m_ReadOutputFormat.biPlanes = 1;
    m_ReadOutputFormat.biBitCount = in.biBitCount;
    if (in.biCompression != BI_RGB) {
        std::unique_ptr<VideoCodec> codec = zep3::detail::LocateDecompressor(in, &m_ReadOutputFormat);
        if (!codec || codec->DecompressBegin(in, m_ReadOutputFormat) != ICERR_OK) {
            CloseFile();
            return false;
        }
        m_DecompressorInfo = codec->Info();
        m_pDecompressor = std::move(codec);
    }
    m_pReadStream = std::move(stream);
    AllocBuffers(in.biWidth, in.biHeight);
    m_ReadFileName = name;
    m_bReadOpened = true;
    return true;
}

void CAVIEdit::CloseFile() {
    if (m_pDecompressor && m_pDecompressor.use_count() == 1) m_pDecompressor->DecompressEnd();
    m_pDecompressor.reset();
    m_DecompressorInfo = ICINFO{};
    m_pReadStream.reset();
    m_pLastTarget = nullptr;
    m_bReadOpened = false;
    m_LastFrameDecoded = -1;
    m_bFlipOnRead = true;
    m_ReadFileName.Empty();
}

bool CAVIEdit::ReadFrame(CImageBuffer* image, int frame, int* bytesRead, HWND progressWindow, int progressMessage) {
    const BITMAPINFOHEADER& in = m_ReadInputFormat;
    const bool compressed = in.biCompression != BI_RGB;
    if (!image || !image->GetPixelBuffer() || !m_pReadStream || (compressed && !m_pDecompressor)) return false;
    // The image must be the frame's size and depth; anything else would be overrun.
    if (image->GetSize() != GetFrameSize() || image->GetBitCount() != m_ReadOutputFormat.biBitCount ||
        (!compressed && ImageBytes(*image) < in.biSizeImage))
        return false;
    AllocBuffers(in.biWidth, in.biHeight);
    // Frames decode straight into the image: the same frame again needs no
    // work only when it went to the same pixels.
    if (image->GetPixelBuffer() != m_pLastTarget) m_LastFrameDecoded = -1;
    m_pLastTarget = image->GetPixelBuffer();
    int start = frame;
    if (frame != m_LastFrameDecoded) {
        const int key = m_pReadStream->PrevKeyFrame(frame);
        start = m_LastFrameDecoded >= key && m_LastFrameDecoded < frame && key >= 0 ? m_LastFrameDecoded : key - 1;
    }
    if (start < -1) return false;
    const int toDo = frame - start;
    for (int f = start + 1; f <= frame; ++f) {
        if (f >= GetFrameCount()) return false;
        if (progressWindow) {
            if (!IsWindow(progressWindow) ||
                SendMessage(progressWindow, UINT(progressMessage), WPARAM(f - start - 1), LPARAM(toDo)) < 0)
                return false;
        }
        if (!DecodeSample(image, f, bytesRead)) {
            m_LastFrameDecoded = -1; // the decoder's state is unknown now
            return false;
        }
        m_LastFrameDecoded = f;
    }
    m_LastFrameDecoded = frame;
    return true;
}

// Reads one sample; a compressed one is decoded straight into the image, in
// the row order the flip asks for (no intermediate frame, no row copy).
bool CAVIEdit::DecodeSample(CImageBuffer* image, int frame, int* bytesRead) {
    const BITMAPINFOHEADER& in = m_ReadInputFormat;
    if (in.biCompression == BI_RGB) {
        LONG read = 0;
        const HRESULT hr = m_pReadStream->Read(frame, image->GetPixelBuffer(), LONG(in.biSizeImage), &read);
        if (bytesRead) *bytesRead = read;
        return hr == AVIERR_OK;
    }
    LONG read = 0;
    if (m_pReadStream->Read(frame, m_Buffer1.data(), LONG(m_Buffer1.size()), &read) != AVIERR_OK) return false;
    if (bytesRead) *bytesRead = read;
    const ptrdiff_t row = zep3::detail::RowBytes(m_ReadOutputFormat);
    BYTE* top = image->GetPixelBuffer();
    // Flipping turns the codec's bottom-up frame into top-down rows; without
    // it the image takes the frame's memory order.
    const Picture picture = m_bFlipOnRead ? Picture{top, row} : Picture{top + (image->GetSize().cy - 1) * row, -row};
    return m_pDecompressor->Decompress(m_Buffer1.data(), DWORD(read), picture) == ICERR_OK;
}

CSize CAVIEdit::GetFrameSize() const {
    return CSize(m_ReadInputFormat.biWidth, std::abs(m_ReadInputFormat.biHeight));
}

int CAVIEdit::GetFrameCount() const {
    if (!m_pReadStream) return 0;
    return int(m_ReadStreamInfo.dwStart + m_ReadStreamInfo.dwLength);
}

double CAVIEdit::GetFramePerSecond() const {
    const AVISTREAMINFO& info = m_bWriteOpened ? m_WriteStreamInfo : m_ReadStreamInfo;
    return info.dwScale ? double(info.dwRate / info.dwScale) : 0.0;
}

CString CAVIEdit::GetCodecName() const { return Description(m_DecompressorInfo); }

bool CAVIEdit::InitDecompressor(DWORD handler, DWORD compression, CSize size, int bytesPerPixel) {
    if (m_pDecompressor && m_pDecompressor.use_count() == 1) m_pDecompressor->DecompressEnd();
    m_pDecompressor.reset();
    if (!SensibleSize(size.cx, size.cy) || bytesPerPixel < 1 || bytesPerPixel > 4) return false;
    m_ReadInputFormat = zep3::detail::UncompressedFormat(size.cx, size.cy, 8 * bytesPerPixel);
    m_ReadInputFormat.biCompression = compression;
    m_ReadInputFormat.biSizeImage = DWORD(std::abs(size.cx * size.cy)) * 4;
    m_ReadOutputFormat = m_ReadInputFormat;
    m_ReadOutputFormat.biCompression = BI_RGB;
    AllocBuffers(size.cx, size.cy);
    if (compression == BI_RGB) return true;
    std::unique_ptr<VideoCodec> codec = zep3::detail::OpenCodec(handler, ICMODE_DECOMPRESS);
    if (!codec || codec->DecompressQuery(m_ReadInputFormat, &m_ReadOutputFormat) != ICERR_OK)
        codec = zep3::detail::LocateDecompressor(m_ReadInputFormat, &m_ReadOutputFormat);
    if (!codec || codec->DecompressBegin(m_ReadInputFormat, m_ReadOutputFormat) != ICERR_OK) return false;
    m_DecompressorInfo = codec->Info();
    m_pDecompressor = std::move(codec);
    return true;
}

bool CAVIEdit::DecompressFrame(void* destination, void* source, int sourceSize, int bytesPerPixel) {
    if (!destination || !source || sourceSize < 0 || bytesPerPixel < 1 || bytesPerPixel > 4) return false;
    m_ReadInputFormat.biBitCount = m_ReadOutputFormat.biBitCount = WORD(8 * bytesPerPixel);
    const bool compressed = m_ReadInputFormat.biCompression != BI_RGB;
    if (compressed && !m_pDecompressor) return false;
    const size_t row = size_t(zep3::detail::RowBytes(m_ReadOutputFormat));
    const int rows = std::abs(m_ReadOutputFormat.biHeight);
    if (row * rows > m_Buffer1.size()) return false;
    const BYTE* frame = static_cast<const BYTE*>(source);
    if (compressed) {
        // The output format's memory order, as the codec writes it.
        const Picture picture = zep3::detail::PictureOf(m_ReadOutputFormat, m_Buffer1.data());
        if (m_pDecompressor->Decompress(frame, DWORD(sourceSize), picture) != ICERR_OK) return false;
        frame = m_Buffer1.data();
    } else if (size_t(sourceSize) < row * rows) {
        return false;
    }
    CopyRowsReversed(static_cast<BYTE*>(destination), frame, row, rows);
    return true;
}

// ---- writing ----

bool CAVIEdit::PrepareWriteDecompBi(BITMAPINFOHEADER* format, CSize size, int bytesPerPixel) {
    if (!format) return false;
    *format = BITMAPINFOHEADER{};
    format->biSize = sizeof *format;
    format->biWidth = size.cx;
    format->biHeight = size.cy;
    format->biPlanes = 1;
    format->biBitCount = WORD(8 * bytesPerPixel);
    return true;
}

bool CAVIEdit::ChooseCompressor(CSize size, int bytesPerPixel, COMPVARS* choice, HWND, BITMAPINFOHEADER* outputFormat,
                                CMemory* state) {
    BITMAPINFOHEADER in;
    PrepareWriteDecompBi(&in, size, bytesPerPixel);
    COMPVARS offer{};
    if (choice && choice->cbSize == LONG(sizeof offer)) offer = *choice;
    offer.cbSize = sizeof offer;
    offer.dwFlags = ICMF_COMPVARS_VALID;
    offer.fccType = ICTYPE_VIDEO;
    if (!zep3::detail::RunCompressorChoose(offer, &in)) return false;
    std::unique_ptr<VideoCodec> codec = zep3::detail::OpenCodec(offer.fccHandler, ICMODE_COMPRESS);
    if (!codec) return false;
    if (outputFormat) {
        *outputFormat = BITMAPINFOHEADER{};
        if (codec->CompressQuery(in, nullptr) == ICERR_OK) *outputFormat = codec->CompressFormat(in);
    }
    if (state) {
        state->Create(codec->StateSize(), nullptr);
        if (!state->IsEmpty()) codec->GetState(state->GetData(), state->GetSize());
    }
    // The choice is freed: no codec or state stays with it.
    offer.hic = nullptr;
    offer.lpState = nullptr;
    offer.cbState = 0;
    if (choice) *choice = offer;
    return true;
}

bool CAVIEdit::InitCompressor(CSize size, int bytesPerPixel, HWND parent, DWORD handler, DWORD compression, void* state,
                              int stateSize, bool allowDialog) {
    CloseWriteStream();
    ReleaseCompressor();
    if (handler == 0 && m_WriteHandler != 0) handler = m_WriteHandler;
    m_WriteCompression = compression;
    CMemory chosenState;
    if (handler == 0 && compression != BI_RGB) {
        // The dialog gives the handler, the compression it writes and its settings.
        COMPVARS choice{};
        BITMAPINFOHEADER chosen{};
        if (!allowDialog || !ChooseCompressor(size, bytesPerPixel, &choice, parent, &chosen, &chosenState) ||
            chosen.biSize == 0)
            return false;
        handler = choice.fccHandler;
        m_WriteCompression = compression = chosen.biCompression;
        state = chosenState.GetData();
        stateSize = chosenState.GetSize();
    }
    if (!SensibleSize(size.cx, size.cy) || bytesPerPixel < 1 || bytesPerPixel > 4) return false;
    PrepareWriteDecompBi(&m_WriteInputFormat, size, bytesPerPixel);
    BITMAPINFOHEADER out = m_WriteInputFormat;
    std::unique_ptr<VideoCodec> codec;
    if (compression != BI_RGB) {
        codec = zep3::detail::OpenCodec(handler, ICMODE_COMPRESS);
        if (!codec) return false;
        if (codec->CompressQuery(m_WriteInputFormat, nullptr) == ICERR_OK)
            out = codec->CompressFormat(m_WriteInputFormat);
        if (out.biCompression != compression || out.biCompression == BI_RGB) {
            out = m_WriteInputFormat;
            out.biCompression = compression;
        }
        if (state && stateSize > 0 && stateSize == codec->StateSize()) codec->SetState(state, stateSize);
    }
    m_WriteHandler = handler;
    out.biSize = sizeof out;
    out.biWidth = m_WriteInputFormat.biWidth;
    out.biHeight = m_WriteInputFormat.biHeight;
    out.biSizeImage = DWORD(std::abs(int64_t(out.biBitCount) * out.biWidth * out.biHeight) / 8);
    m_WriteOutputFormat = out;
    m_bFlipOnWrite = compression != BI_RGB && !m_bKeepCompressedUnflipped;
    if (codec) {
        m_CompressorInfo = codec->Info();
        m_WriteOutputFormat.biSizeImage = 0;
        if (codec->CompressBegin(m_WriteInputFormat, m_WriteOutputFormat) != ICERR_OK) return false;
        m_pCompressor = std::move(codec);
    }
    return true;
}

bool CAVIEdit::OpenFileWrite(CString const& name, int rate, bool deleteExisting) {
    m_ErrorInfo.Empty();
    CloseWriteStream();
    if (deleteExisting) unlink(name);
    m_WriteLastBytes = 0;
    m_TotalBytesWritten = 0;
    const bool compressing = m_WriteCompression != BI_RGB;
    auto file = std::make_shared<AviWriter>();
    HRESULT hr = file->Create(name.str());
    if (hr != AVIERR_OK) {
        m_ErrorInfo.Format("CAVIEdit::OpenFileWrite: AVIFileOpen error: %i", int(hr));
        return false;
    }
    m_bFlipOnWrite = compressing && !m_bKeepCompressedUnflipped;
    AVISTREAMINFO& info = m_WriteStreamInfo;
    info = AVISTREAMINFO{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = m_WriteHandler;
    info.dwScale = 1000;
    info.dwRate = rate < 0 ? 5000 : DWORD(rate);
    info.dwLength = 1000;
    info.dwQuality = DWORD(ICQUALITY_DEFAULT);
    info.rcFrame = {0, 0, m_WriteInputFormat.biWidth, m_WriteInputFormat.biHeight};
    std::strcpy(info.szName, compressing && m_bKeepCompressedUnflipped ? kUnflippedName : kRowOrderName);
    hr = file->CreateStream(info);
    if (hr != AVIERR_OK) {
        m_ErrorInfo.Format("CAVIEdit::OpenFileWrite: AVIFileCreateStream error: %i", int(hr));
        return false;
    }
    m_WriteOutputFormat.biWidth = m_WriteInputFormat.biWidth;
    m_WriteOutputFormat.biHeight = compressing ? m_WriteInputFormat.biHeight : -m_WriteInputFormat.biHeight;
    hr = m_WriteInputFormat.biWidth > 0 ? file->SetFormat(m_WriteOutputFormat) : AVIERR_BADFORMAT;
    if (hr != AVIERR_OK) {
        m_ErrorInfo.Format("CAVIEdit::OpenFileWrite: AVIStreamSetFormat error: %i", int(hr));
        return false;
    }
    AllocBuffers(m_WriteOutputFormat.biWidth, m_WriteOutputFormat.biHeight);
    m_pWriteFile = std::move(file);
    m_WriteFileName = name;
    m_bWriteOpened = true;
    return true;
}

bool CAVIEdit::CompressFrame(unsigned char** output, CImageBuffer const* image, int frame, DWORD* flags, int* size) {
    const BITMAPINFOHEADER& in = m_WriteInputFormat;
    const bool compressing = m_WriteCompression != BI_RGB;
    if (!output || !image || !image->GetPixelBuffer() || in.biWidth <= 0 || (compressing && !m_pCompressor) ||
        image->GetSize() != CSize(in.biWidth, std::abs(in.biHeight)))
        return false;
    AllocBuffers(m_WriteOutputFormat.biWidth, m_WriteOutputFormat.biHeight);
    const int rows = std::abs(in.biHeight);
    const int pixelSize = (in.biBitCount + 7) / 8;
    const size_t row = size_t(in.biWidth) * pixelSize;
    // The frame as the codec's bottom-up input: flipped rows, or the image
    // itself. A flip for the codec costs nothing: it reads the image top row first.
    BYTE* frameBytes = image->GetPixelBuffer();
    Picture picture{frameBytes, ptrdiff_t(row)};
    if (image->GetPixelSize() != pixelSize) {
        if (!ConvertImageBuffer(m_Buffer1.data(), pixelSize, frameBytes, image->GetPixelSize(), image->GetSize(),
                                in.biWidth, m_bFlipOnWrite))
            return false;
        frameBytes = m_Buffer1.data();
        picture = zep3::detail::PictureOf(in, frameBytes);
    } else if (!m_bFlipOnWrite) {
        picture = zep3::detail::PictureOf(in, frameBytes);
    } else if (!compressing) {
        CopyRowsReversed(m_Buffer1.data(), frameBytes, row, rows);
        frameBytes = m_Buffer1.data();
    }
    DWORD frameFlags = AVIIF_KEYFRAME;
    DWORD bytes = m_WriteOutputFormat.biSizeImage;
    if (compressing) {
        // Room for the codec's largest frame: it is compressed in place.
        const size_t largest = m_pCompressor->CompressMaxSize(in);
        if (m_Buffer2.size() < largest) m_Buffer2.resize(largest);
        bool key = frame == 0;
        const LRESULT result =
            m_pCompressor->Compress(picture, m_CompressorParam[2], m_Buffer2.data(), DWORD(m_Buffer2.size()), bytes, key);
        if (result != ICERR_OK) {
            m_ErrorInfo.Format("CAVIEdit::CompressFrame: ICCompress returned %i.", int(result));
            return false;
        }
        frameFlags = key ? AVIIF_KEYFRAME : 0;
        m_WriteOutputFormat.biSizeImage = bytes;
        frameBytes = m_Buffer2.data();
    }
    if (flags) *flags = frameFlags;
    if (*output)
        std::memcpy(*output, frameBytes, bytes);
    else
        *output = frameBytes;
    if (size) *size = int(bytes);
    return true;
}

bool CAVIEdit::WriteFrame(CImageBuffer const* image, int frame) {
    if (!m_pWriteFile) return false;
    unsigned char* data = nullptr;
    DWORD flags = 0;
    int size = 0;
    if (!CompressFrame(&data, image, frame, &flags, &size)) return false;
    LONG written = 0;
    const HRESULT hr = m_pWriteFile->Write(frame, data, size, flags, &written);
    m_WriteLastBytes = written;
    m_TotalBytesWritten += written;
    if (hr != AVIERR_OK) {
        m_ErrorInfo.Format("CAVIEdit::WriteFrame: AVIStreamWrite returned %i. [Frame: %i, Size: %i]", int(hr), frame,
                           size);
        return false;
    }
    if (frame == 0) {
        // Local time with the clock's milliseconds; the counter's milliseconds
        // in the second member order frames finer than the clock.
        SYSTEMTIME now;
        GetLocalTime(&now);
        LARGE_INTEGER count, frequency;
        QueryPerformanceCounter(&count);
        QueryPerformanceFrequency(&frequency);
        m_FirstFrameTime.m_Time = now;
        m_FirstFrameTime.m_MicroSeconds = DWORD(count.QuadPart / (frequency.QuadPart / 1000));
    }
    return true;
}

void CAVIEdit::CloseWriteStream() {
    m_pWriteFile.reset(); // the last owner finishes the file
    m_bWriteOpened = false;
    m_WriteFileName.Empty();
}

void CAVIEdit::CloseWriteFile() {
    CloseWriteStream();
    m_WriteLastBytes = 0;
    m_TotalBytesWritten = 0;
    m_WriteHandler = 0;
    m_WriteCompression = 0;
    ReleaseCompressor();
}

void CAVIEdit::ReleaseCompressor() {
    if (m_pCompressor && m_pCompressor.use_count() == 1) m_pCompressor->CompressEnd();
    m_pCompressor.reset();
    m_CompressorInfo = ICINFO{};
}

bool CAVIEdit::ConfigureCompressor(HWND) { return false; }

bool CAVIEdit::SetCompressorParam(LONG param1, LONG param2, LONG quality) {
    m_CompressorParam[0] = param1;
    m_CompressorParam[1] = param2;
    m_CompressorParam[2] = quality;
    return true;
}

void CAVIEdit::GetCompressorParam(LONG& param1, LONG& param2, LONG& quality) {
    param1 = m_CompressorParam[0];
    param2 = m_CompressorParam[1];
    quality = m_CompressorParam[2];
}

int CAVIEdit::GetWriteStateSize() const { return m_pCompressor ? m_pCompressor->StateSize() : 0; }

int CAVIEdit::GetWriteState(void* data, int size) const {
    return m_pCompressor && data ? m_pCompressor->GetState(data, size) : 0;
}

int CAVIEdit::SetWriteState(void* data, int size) const {
    return m_pCompressor && m_pCompressor->SetState(data, size) ? size : 0;
}

CSize CAVIEdit::GetWriteFrameSize() const {
    return CSize(m_WriteOutputFormat.biWidth, std::abs(m_WriteOutputFormat.biHeight));
}

CString CAVIEdit::GetWriteCodecName() const { return Description(m_CompressorInfo); }

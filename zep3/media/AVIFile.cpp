#include <zep3/media/AVIFile.h>
#include <zep3/media/detail/AviRiff.h>

#include <cstring>

using zep3::detail::AviReader;
using zep3::detail::AviWriter;

CAVIFile::CAVIFile() = default;

CAVIFile::~CAVIFile() = default;

bool CAVIFile::Open(CString const& name) {
    Close();
    auto reader = std::make_shared<AviReader>();
    if (reader->Open(name.str(), true) != AVIERR_OK || reader->Format().size() != sizeof m_Format) return false;
    m_StreamInfo = reader->Info();
    std::memcpy(&m_Format, reader->Format().data(), sizeof m_Format);
    m_pReader = std::move(reader);
    return true;
}

void CAVIFile::Close() {
    m_pReader.reset();
    m_pWriter.reset(); // the last owner finishes the file
    m_StreamInfo = AVISTREAMINFO{};
    m_Format = BITMAPINFOHEADER{};
}

bool CAVIFile::Create(CString const& name, DWORD handler, double framesPerSecond, BITMAPINFOHEADER* format) {
    if (!format) return false;
    Close();
    auto writer = std::make_shared<AviWriter>();
    AVISTREAMINFO info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = handler;
    info.dwScale = 1000;
    info.dwRate = framesPerSecond > 0 && framesPerSecond < 4e6 ? DWORD(framesPerSecond * 1000) : 0;
    info.dwLength = 1000;
    info.dwQuality = DWORD(ICQUALITY_DEFAULT);
    info.rcFrame = {0, 0, format->biWidth, format->biHeight};
    if (writer->Create(name.str()) != AVIERR_OK || writer->CreateStream(info) != AVIERR_OK ||
        writer->SetFormat(*format) != AVIERR_OK)
        return false;
    m_StreamInfo = info;
    m_StreamInfo.dwLength = 0;
    m_Format = *format;
    m_pWriter = std::move(writer);
    return true;
}

bool CAVIFile::ReadFrame(int frame, void* buffer, int bufferSize) {
    if (!m_pReader || frame < 0 || frame >= GetFramesCount()) return false;
    return m_pReader->Read(frame, buffer, bufferSize, nullptr) == AVIERR_OK && buffer;
}

bool CAVIFile::WriteFrame(int frame, void* data, int size, bool keyFrame) {
    if (!m_pWriter || !data) return false;
    const bool written = m_pWriter->Write(frame, data, size, keyFrame ? AVIIF_KEYFRAME : 0, nullptr) == AVIERR_OK;
    m_StreamInfo.dwLength = DWORD(m_pWriter->Frames());
    return written;
}

double CAVIFile::GetFramesPerSecond() const {
    return m_StreamInfo.dwScale ? double(m_StreamInfo.dwRate) / m_StreamInfo.dwScale : 1.0;
}

int CAVIFile::GetFramesCount() const { return int(m_StreamInfo.dwStart + m_StreamInfo.dwLength); }

BITMAPINFOHEADER* CAVIFile::GetBitmapInfoHeader() { return m_pReader || m_pWriter ? &m_Format : nullptr; }

#include <zep3/media/Codec.h>
#include <zep3/media/detail/CodecRegistry.h>

#include <cstdlib>

using zep3::detail::VideoCodec;

namespace {
const char kNotInitialized[] = "[Not initialized]";
}

CCodec::CCodec() = default;

CCodec::~CCodec() { Close(); }

bool CCodec::Open(std::shared_ptr<VideoCodec> codec, int mode) {
    if (!codec) return false;
    m_pCodec = std::move(codec);
    m_hIC = reinterpret_cast<HIC>(m_pCodec.get());
    m_Info = m_pCodec->Info();
    m_Handler = m_Info.fccHandler;
    m_DefaultQuality = m_pCodec->DefaultQuality();
    m_DefaultKeyFrameRate = m_pCodec->DefaultKeyFrameRate();
    m_bHasConfigureDialog = m_pCodec->HasConfigure();
    m_bHasAboutDialog = false;
    m_Mode = mode;
    return true;
}

bool CCodec::OpenCompressor(DWORD handler) {
    Close();
    return Open(zep3::detail::OpenCodec(handler, ICMODE_FASTCOMPRESS), 0);
}

bool CCodec::CompressorChoose(HWND, BITMAPINFOHEADER* format, char*) {
    COMPVARS offer{};
    offer.cbSize = sizeof offer;
    offer.dwFlags = ICMF_COMPVARS_VALID;
    offer.fccType = ICTYPE_VIDEO;
    if (IsOpened()) {
        offer.hic = m_hIC;
        offer.fccHandler = m_Handler;
        offer.lKey = m_DefaultKeyFrameRate;
        offer.lQ = m_DefaultQuality ? m_DefaultQuality : ICQUALITY_DEFAULT;
    }
    if (!zep3::detail::RunCompressorChoose(offer, format)) return false;
    return OpenCompressor(offer.fccHandler);
}

void CCodec::FreeFormats() {
    m_pInputFormat.reset();
    m_pOutputFormat.reset();
}

bool CCodec::CompressBegin(BITMAPINFOHEADER* inputFormat, int& maxFrameSize) {
    if (!m_pCodec || m_Mode != 0 || !inputFormat) return false;
    CompressEnd();
    const BITMAPINFOHEADER& in = *inputFormat;
    BITMAPINFOHEADER out{};
    if (in.biSize == sizeof in && m_pCodec->CompressQuery(in, nullptr) == ICERR_OK) {
        out = m_pCodec->CompressFormat(in);
        m_pInputFormat = std::make_shared<BITMAPINFOHEADER>(in);
        m_pOutputFormat = std::make_shared<BITMAPINFOHEADER>(out);
        if (m_pCodec->CompressQuery(in, &out) == ICERR_OK && m_pCodec->CompressBegin(in, out) == ICERR_OK) {
            maxFrameSize = int(m_pCodec->CompressMaxSize(in));
            m_bCompressBegun = true;
            return true;
        }
    }
    FreeFormats();
    return false;
}

bool CCodec::CompressFrame(void* source, void* destination, int, bool& keyFrame, int& size) {
    if (!m_bCompressBegun || !source || !destination) return false;
    const BITMAPINFOHEADER& in = *m_pInputFormat;
    DWORD bytes = 0;
    bool key = keyFrame;
    if (m_pCodec->Compress(zep3::detail::PictureOf(in, source), m_DefaultQuality, static_cast<BYTE*>(destination),
                           m_pCodec->CompressMaxSize(in), bytes, key) != ICERR_OK)
        return false;
    keyFrame = key;
    size = int(bytes);
    m_pOutputFormat->biSizeImage = bytes;
    return true;
}

void CCodec::CompressEnd() {
    if (m_bCompressBegun) m_pCodec->CompressEnd();
    m_bCompressBegun = false;
}

bool CCodec::OpenDecompressor(BITMAPINFOHEADER* inputFormat) {
    Close();
    if (!inputFormat || inputFormat->biSize != sizeof *inputFormat) return false;
    const BITMAPINFOHEADER out = zep3::detail::UncompressedFormat(
        inputFormat->biWidth, std::abs(inputFormat->biHeight), 24);
    if (!Open(zep3::detail::LocateDecompressor(*inputFormat, &out), 1)) return false;
    m_pInputFormat = std::make_shared<BITMAPINFOHEADER>(*inputFormat);
    m_pOutputFormat = std::make_shared<BITMAPINFOHEADER>(out);
    return true;
}

bool CCodec::DecompressBegin() {
    if (!m_pCodec || m_Mode != 1 || !m_pInputFormat) return false;
    DecompressEnd();
    if (m_pCodec->DecompressQuery(*m_pInputFormat, m_pOutputFormat.get()) != ICERR_OK ||
        m_pCodec->DecompressBegin(*m_pInputFormat, *m_pOutputFormat) != ICERR_OK)
        return false;
    m_bDecompressBegun = true;
    return true;
}

bool CCodec::DecompressFrame(void* source, void* destination) {
    if (!m_bDecompressBegun || !source || !destination) return false;
    return m_pCodec->Decompress(static_cast<const BYTE*>(source), m_pInputFormat->biSizeImage,
                                zep3::detail::PictureOf(*m_pOutputFormat, destination)) == ICERR_OK;
}

void CCodec::DecompressEnd() {
    if (m_bDecompressBegun) m_pCodec->DecompressEnd();
    m_bDecompressBegun = false;
}

void CCodec::Close() {
    // A codec shared with a copy stays in use there.
    if (m_pCodec && m_pCodec.use_count() == 1) {
        CompressEnd();
        DecompressEnd();
    }
    m_bCompressBegun = m_bDecompressBegun = false;
    m_pCodec.reset();
    m_hIC = nullptr;
    m_Info = ICINFO{};
    FreeFormats();
    m_Handler = 0;
    m_DefaultQuality = m_DefaultKeyFrameRate = 0;
    m_bHasConfigureDialog = m_bHasAboutDialog = false;
    m_Mode = 0;
}

bool CCodec::OpenConfigureDialogBox(HWND) { return false; }

bool CCodec::OpenAboutDialogBox(HWND) { return false; }

DWORD CCodec::GetHandler() const { return IsOpened() ? m_Handler : 0xFFFFFFFFu; }

DWORD CCodec::GetCompression() const {
    const BITMAPINFOHEADER* format = m_Mode == 0 ? m_pOutputFormat.get() : m_pInputFormat.get();
    return IsOpened() && format ? format->biCompression : 0xFFFFFFFFu;
}

CString CCodec::GetCodecName() const {
    return IsOpened() ? CString(zep3::detail::InfoText(m_Info.szDescription, 128)) : CString(kNotInitialized);
}

CString CCodec::GetCodecShortName() const {
    return IsOpened() ? CString(zep3::detail::InfoText(m_Info.szName, 16)) : CString(kNotInitialized);
}

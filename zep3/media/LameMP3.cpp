#include <zep3/media/LameMP3.h>

#include <zep3/platform/Module.h>

#include <climits>
#include <cstring>
#include <new>

namespace {

// Where libzep3.so itself lies, with a trailing "/"; empty when unknown.
CString LibraryFolder() {
    char path[4096];
    DWORD length = GetModuleFileName(ZEP3GetInstanceHandle(), path, sizeof path);
    if (length == 0 || length >= sizeof path) return CString();
    CString folder(path, static_cast<int>(length));
    return folder.Left(folder.ReverseFind('/') + 1);
}

template <class F> bool Find(HMODULE module, const char* name, F& entry) {
    entry = reinterpret_cast<F>(GetProcAddress(module, name));
    return entry != nullptr;
}

} // namespace

CLameMP3::CLameMP3()
    : m_hModule(nullptr), m_beInitStream(nullptr), m_beEncodeChunk(nullptr), m_beDeinitStream(nullptr),
      m_beCloseStream(nullptr), m_beVersion(nullptr), m_beWriteVBRHeader(nullptr), m_Config(), m_hStream(0),
      m_pSamples(nullptr), m_SampleCount(0), m_SampleCapacity(0), m_pOutput(nullptr), m_OutputSize(0),
      m_ChunkSize(0) {}

CLameMP3::~CLameMP3() {
    Release();
    if (m_File.IsOpen()) m_File.Close();
}

bool CLameMP3::LoadLibraryA(const CString& path) {
    Release();
    m_hModule = ::LoadLibrary(path);
    if (!m_hModule && path.Find('/') < 0 && !path.IsEmpty()) m_hModule = ::LoadLibrary(LibraryFolder() + path);
    if (m_hModule && Find(m_hModule, "beInitStream", m_beInitStream) &&
        Find(m_hModule, "beEncodeChunk", m_beEncodeChunk) && Find(m_hModule, "beDeinitStream", m_beDeinitStream) &&
        Find(m_hModule, "beCloseStream", m_beCloseStream) && Find(m_hModule, "beVersion", m_beVersion) &&
        Find(m_hModule, "beWriteVBRHeader", m_beWriteVBRHeader))
        return true;
    Release();
    return false;
}

void CLameMP3::Release() {
    if (m_hModule) {
        if (m_pOutput) m_beCloseStream(m_hStream);
        FreeLibrary(m_hModule);
    }
    m_hModule = nullptr;
    m_beInitStream = nullptr;
    m_beEncodeChunk = nullptr;
    m_beDeinitStream = nullptr;
    m_beCloseStream = nullptr;
    m_beVersion = nullptr;
    m_beWriteVBRHeader = nullptr;
    m_hStream = 0;
    FreeBuffers();
}

bool CLameMP3::InitStream(const CString& fileName, int sampleRate, bool stereo, int preset, int bitrate,
                          int resampleRate, int mpegVersion) {
    if (!m_hModule) return false;
    if (m_pOutput) CloseStream();
    if (m_File.IsOpen()) m_File.Close();
    if (!m_File.Open(fileName, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) return false;

    std::memset(&m_Config, 0, sizeof m_Config);
    m_Config.dwConfig = BE_CONFIG_LAME;
    auto& lame = m_Config.format.LHV1;
    lame.dwStructVersion = CURRENT_STRUCT_VERSION;
    lame.dwStructSize = CURRENT_STRUCT_SIZE;
    lame.dwSampleRate = static_cast<DWORD>(sampleRate);
    lame.dwReSampleRate = static_cast<DWORD>(resampleRate);
    lame.nMode = stereo ? BE_MP3_MODE_JSTEREO : BE_MP3_MODE_MONO;
    lame.dwBitrate = static_cast<DWORD>(bitrate);
    lame.nPreset = preset;
    lame.dwMpegVersion = static_cast<DWORD>(mpegVersion);
    lame.bOriginal = TRUE;
    lame.nVbrMethod = VBR_METHOD_NONE;
    lame.bNoRes = TRUE;

    if (m_beInitStream(&m_Config, &m_ChunkSize, &m_OutputSize, &m_hStream) != BE_ERR_SUCCESSFUL) return false;
    m_pOutput = new (std::nothrow) BYTE[m_OutputSize ? m_OutputSize : 1];
    if (!m_pOutput || m_ChunkSize == 0) {
        m_beCloseStream(m_hStream);
        FreeBuffers();
        return false;
    }
    m_SampleCount = 0;
    return true;
}

bool CLameMP3::EncodeChunk(short* samples, int count) {
    if (!m_hModule || !m_pOutput || count < 0 || (!samples && count > 0) || count > INT_MAX - m_SampleCount)
        return false;
    if (m_SampleCapacity - m_SampleCount < count) {
        const int capacity = m_SampleCount + count;
        short* grown = new (std::nothrow) short[static_cast<size_t>(capacity)];
        if (!grown) return false;
        if (m_SampleCount) std::memcpy(grown, m_pSamples, sizeof(short) * static_cast<size_t>(m_SampleCount));
        delete[] m_pSamples;
        m_pSamples = grown;
        m_SampleCapacity = capacity;
    }
    if (count) std::memcpy(m_pSamples + m_SampleCount, samples, sizeof(short) * static_cast<size_t>(count));
    m_SampleCount += count;

    int done = 0;
    while (m_SampleCount - done >= static_cast<int>(m_ChunkSize)) {
        DWORD produced = 0;
        if (m_beEncodeChunk(m_hStream, m_ChunkSize, m_pSamples + done, m_pOutput, &produced) != BE_ERR_SUCCESSFUL ||
            !WriteOutput(produced)) {
            m_SampleCount = 0; // the failed chunk is not tried again by the flush
            CloseStream();
            return false;
        }
        done += static_cast<int>(m_ChunkSize);
    }
    m_SampleCount -= done;
    if (done && m_SampleCount)
        std::memmove(m_pSamples, m_pSamples + done, sizeof(short) * static_cast<size_t>(m_SampleCount));
    return true;
}

bool CLameMP3::CloseStream() {
    if (!m_hModule) return false;
    bool ok = true;
    if (m_pOutput) {
        DWORD produced = 0;
        if (m_SampleCount > 0)
            ok = m_beEncodeChunk(m_hStream, static_cast<DWORD>(m_SampleCount), m_pSamples, m_pOutput, &produced) ==
                     BE_ERR_SUCCESSFUL &&
                 WriteOutput(produced);
        if (ok) ok = m_beDeinitStream(m_hStream, m_pOutput, &produced) == BE_ERR_SUCCESSFUL && WriteOutput(produced);
        ok = m_beCloseStream(m_hStream) == BE_ERR_SUCCESSFUL && ok;
        m_hStream = 0;
    }
    if (m_File.IsOpen()) m_File.Close();
    FreeBuffers();
    return ok;
}

bool CLameMP3::WriteOutput(DWORD size) {
    return size <= m_OutputSize && (size == 0 || m_File.Write(m_pOutput, size));
}

void CLameMP3::FreeBuffers() {
    delete[] m_pSamples;
    m_pSamples = nullptr;
    m_SampleCount = 0;
    m_SampleCapacity = 0;
    delete[] m_pOutput;
    m_pOutput = nullptr;
    m_OutputSize = 0;
    m_ChunkSize = 0;
}

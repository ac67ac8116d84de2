#pragma once
/// @class CLameMP3
/// Turns a stream of 16-bit PCM samples into an MP3 file through an
/// encoder module with the Blade-style entry points (BladeMP3Enc.h), loaded
/// at run time. The module built with this library is "libzep3mp3.so",
/// installed beside libzep3.so, over libmp3lame.
///
///     CLameMP3 mp3;
///     mp3.LoadLibraryA("libzep3mp3.so");
///     mp3.InitStream("out.mp3", 44100, true, LQP_NOPRESET, 128, 0, MPEG1);
///     mp3.EncodeChunk(samples, count);   // any number of times, pieces of any size
///     mp3.CloseStream();                 // flushes and closes the file
///
/// The class collects the samples (interleaved when stereo) into the chunk
/// size the encoder asks for and writes what each call returns. Failures are
/// false results: a module that cannot be loaded or lacks an entry point, a
/// file that cannot be created, a configuration the encoder refuses (the
/// file then stays open until CloseStream, Release or destruction), an
/// encoder error or a failed write while encoding (the stream and the file
/// are then closed). One thread uses an object at a time.
#include <zep3/media/BladeMP3Enc.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/File.h>
#include <zep3/platform/String.h>

class ZEP3_API CLameMP3 {
public:
    CLameMP3();
    /// Release, then the file is closed if still open.
    ~CLameMP3();
    CLameMP3(const CLameMP3&) = delete;
    CLameMP3& operator=(const CLameMP3&) = delete;

    /// Releases a module already loaded, loads the one at `path` and looks up
    /// the six entry points; on any failure nothing stays loaded. A bare file
    /// name is looked for on the loader's path and then beside libzep3.so.
    bool LoadLibraryA(const CString& path);
    /// Unloads the module (closing a stream still open in it first) and frees
    /// both buffers.
    void Release();
    /// Creates (truncating) fileName and starts an encoder stream: sample rate,
    /// joint stereo (stereo) or mono, the encoder preset (LQP_*), bit rate in
    /// kbit/s, resampling rate (0: the encoder decides) and MPEG version
    /// (MPEG1, MPEG2). A stream still open is closed first (as CloseStream).
    bool InitStream(const CString& fileName, int sampleRate, bool stereo, int preset, int bitrate, int resampleRate,
                    int mpegVersion);
    /// Appends count samples and encodes every whole chunk; false without a
    /// module or an open stream (nothing is stored then), for a negative
    /// count, or on an encoder or write error.
    bool EncodeChunk(short* samples, int count);
    /// Encodes the samples held as a short chunk, flushes the encoder, closes
    /// the stream and the file and frees the buffers; false without a module
    /// or when any of those encoder calls or writes failed.
    bool CloseStream();

protected:
    HMODULE m_hModule;
    BEINITSTREAM m_beInitStream;
    BEENCODECHUNK m_beEncodeChunk;
    BEDEINITSTREAM m_beDeinitStream;
    BECLOSESTREAM m_beCloseStream;
    BEVERSION m_beVersion;             ///< looked up, never called
    BEWRITEVBRHEADER m_beWriteVBRHeader; ///< looked up, never called
    BE_CONFIG m_Config;
    HBE_STREAM m_hStream;
    CFile m_File;
    short* m_pSamples; ///< owned
    int m_SampleCount;
    int m_SampleCapacity;
    BYTE* m_pOutput; ///< owned; not null while a stream is open
    DWORD m_OutputSize;
    DWORD m_ChunkSize; ///< samples per encoder call

private:
    // Writes size bytes of the output buffer to the file.
    bool WriteOutput(DWORD size);
    void FreeBuffers();
};

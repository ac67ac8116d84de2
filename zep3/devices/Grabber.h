#pragma once
/// @class CGrabber
/// A frame grabber (capture board or camera driver) that delivers
/// 24-bit frames, and the factory pair that makes and destroys one.
///
/// The virtual operations keep their slot order, so that plug-in modules built
/// against this header line up with the library. The built-in grabber "VfW"
/// captures from V4L2 devices; every other name is a plug-in module.
///
/// A plug-in module exports, unmangled, `CGrabber* CreateGrabber()` returning
/// a new instance; the library deletes it through the virtual destructor. The
/// module must be built with the same compiler and C++ library as this one.
///
/// Threads: one thread drives a grabber. Failures are false, null or zero
/// results; nothing throws.
#include <zep3/foundation/Memory.h>
#include <zep3/imaging/SystemTime.h>
#include <zep3/platform/Array.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/Size.h>
#include <zep3/platform/String.h>

class CWnd;

class ZEP3_API CGrabber {
public:
    CGrabber();
    virtual ~CGrabber();

    /// Opens the grabber. The first argument is the caller's, kept and
    /// returned by GetInitParam; the meaning of the others belongs to the
    /// implementation (the built-in grabber ignores them).
    virtual bool Init(DWORD param, DWORD arg1, DWORD arg2, DWORD arg3, DWORD arg4, DWORD arg5, DWORD arg6) = 0;
    /// The camera's configuration blocks; false (the base) when there are none.
    virtual bool GetCameraConfig(CArray<CMemory, CMemory const&>& config) const;
    /// The base answers m_bInited.
    virtual bool IsInited(int board) const;
    /// Makes the current frame of `board` the one GetFrameBuffer and
    /// GetFrameTime show. *flag is the implementation's (the built-in grabber
    /// writes 0); timeout is how long an implementation may wait for a frame,
    /// in milliseconds.
    virtual bool Grab(int board, unsigned char* flag, int timeout) = 0;
    /// Sets the trigger mode of a board; false when there is no trigger.
    virtual bool SetTrigger(DWORD board, DWORD mode) = 0;
    /// The largest frame the board can deliver; 0 x 0 when unknown.
    virtual CSize GetMaxFrameSize(int board) = 0;
    virtual CSize GetFrameSize(int board) = 0;
    virtual int GetBitCount(int board) = 0;
    /// The current frame's pixels: rows top-down, blue-green-red, no padding;
    /// valid until the next Grab. Null when there is no frame.
    virtual BYTE* GetFrameBuffer(int board) = 0;
    /// Init's first argument.
    virtual DWORD GetInitParam() = 0;
    /// The base: 1.
    virtual int GetBoardCount() const;
    /// Property pages; the base has none (false).
    virtual bool DisplayPropertyPage(int board, HWND parent);
    virtual bool HasPropertyPage(int board) const;
    /// The implementation's status code; 0 means no fault.
    virtual DWORD GetStatus() = 0;
    /// Whether SetTrigger can do anything.
    virtual bool IsTriggerSupported() = 0;
    /// Chooses the video input of the current board; false when there is one only.
    virtual bool SelectInput(int input) = 0;
    /// Configuration through the application's dialog; the base has none.
    virtual bool ConfigureSupported() const;
    virtual bool PrepareConfigure(CArray<CString, CString>* items, CWnd* parent);
    /// The base: true.
    virtual bool SetConfigure();
    /// Camera power and speed; the base does nothing.
    virtual void SwitchCamera(int board, bool on);
    virtual void SpeedUpCamera(int board, bool on);
    /// The number of the current frame; the base: 0.
    virtual long GetLastFrameIndex(int board);
    /// The time of the current frame.
    virtual CSystemTime GetFrameTime(int board) = 0;
    /// The base: 0.
    virtual unsigned int GetSerialNumber();
    /// Whether the board sees a video signal; the base: true.
    virtual bool IsSignal(int board);
    /// The base: false.
    virtual bool SetCameraParameters(int board, int a, int b, int c);
    /// The base: empty.
    virtual CString GetConfigFileName() const;
    /// The base: false.
    virtual bool GetDebugLog(int board, int what, void* buffer, int size);

protected:
    /// For the implementations' own use.
    int m_nImplState;
    CArray<DWORD, DWORD> m_ImplValues;
    bool m_bInited;
};

/// @relates CGrabber An empty name gives null; "VfW" (exactly) the built-in V4L2 grabber; any
/// other name is a plug-in module's file name, loaded unless a grabber module
/// is loaded already (a failed load is retried with ".so" in place of ".dll"),
/// whose "CreateGrabber" is called. Null when the module cannot be loaded, has
/// no such export, or the export gives null (the module then stays loaded
/// until DestroyGrabber).
ZEP3_API CGrabber* CreateGrabber(CString const& name);
/// @relates CGrabber Deletes the grabber (null is allowed), then unloads the grabber module if
/// one is loaded: grabbers it made must not be used afterwards.
ZEP3_API void DestroyGrabber(CGrabber* grabber);

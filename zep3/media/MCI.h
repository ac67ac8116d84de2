#pragma once
/// @class CMCI
/// Plays a media file (a recorded sound, a video clip) through the
/// platform's media player: open, play all of it or a range in milliseconds
/// with a completion notice to a window, pause, resume, stop, seek, and ask
/// for length, position and mode. Behind it is GStreamer's playbin: sound
/// goes to the system's output and video to a window when there is a
/// display; headless (ZEP3_HEADLESS=1) or without a sound card both go to
/// null sinks that keep the media's pace, so playing still takes its time
/// and the notice still comes.
///
/// The notice is MM_MCINOTIFY posted to the window given to Play: wParam
/// MCI_NOTIFY_SUCCESSFUL when the range has been played, MCI_NOTIFY_SUPERSEDED
/// when another Play replaced it, MCI_NOTIFY_ABORTED when Stop, Seek or Close
/// ended it (Pause keeps it), MCI_NOTIFY_FAILURE when the stream failed;
/// lParam is the device id. A null window gets no notice.
///
/// A copy refers to the same open device as the original: closing either
/// (also by destroying it) closes it for both.
#include <zep3/media/MMSystem.h>
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

class ZEP3_API CMCI {
public:
    CMCI();
    CMCI(const CMCI& other);
    CMCI& operator=(const CMCI& other);
    /// Closes an open device.
    virtual ~CMCI();

    /// Closes an open device first and remembers the name; false when the
    /// file cannot be opened (missing, or a format the player does not know).
    bool Open(const CString& file);
    /// True at once when nothing is open; otherwise closes the device, clears
    /// the range and the name, and returns whether the close succeeded.
    bool Close();
    bool IsOpened() const;
    CString GetFileName() const;
    /// Milliseconds; -1 leaves that end unset. Always true.
    bool SetRange(int start, int end);
    /// Opens file first when it is not empty. Starts at the range start when
    /// it is set and the position lies before it, or when the range end is
    /// set and the position is at or beyond it; otherwise plays on from the
    /// position. Stops at the range end (cut to the length) or at the end.
    /// With only a range end set and the position at or beyond it there is
    /// nothing to play: false.
    bool Play(HWND notify, const CString& file = CString());
    /// True at once when nothing is open; otherwise stops (the pending notice
    /// is aborted), moves to position 0 and returns whether the stop succeeded.
    bool Stop();
    bool Pause();
    bool Resume();
    /// Moves to ms (stopping a play); false outside 0 to the length.
    bool Seek(int ms);
    /// Sets the time format to milliseconds (times are always milliseconds here).
    bool GetTimeFormatMS();
    /// Length and position in milliseconds; 0 when the request fails.
    int GetLengthMS();
    int GetPosition();
    /// 0 when nothing is open; otherwise the mode (MCI_MODE_STOP, MCI_MODE_PLAY,
    /// MCI_MODE_PAUSE), asked without waiting.
    int GetStatus();
    bool IsPlaying();
    bool IsPaused();

protected:
    MCIDEVICEID m_DeviceID; ///< 0 when nothing is open
    int m_RangeStart;       ///< -1 when not set
    int m_RangeEnd;         ///< -1 when not set
    CString m_FileName;
};

#pragma once
// The platform's media control calls that CMCI makes, over GStreamer's
// playbin. A device id names an open player in a process-wide table; ids
// start at 1 and are never reused. Times are milliseconds. Every call
// returns 0 or an MCIERR_* code; mciGetErrorString gives its text.
//
// Sound goes to the system's audio output and video to a window when there
// is a display; headless (ZEP3_HEADLESS=1, or no DISPLAY for video) and
// without a usable audio output they go to null sinks that keep the media's
// own pace, so a play takes as long as the range it plays.
//
// A play request with a window posts MM_MCINOTIFY to it when it ends:
// MCI_NOTIFY_SUCCESSFUL at the end of the range, MCI_NOTIFY_SUPERSEDED when
// another play replaces it, MCI_NOTIFY_ABORTED when stop, seek or close ends
// it, MCI_NOTIFY_FAILURE when the stream fails; lParam is the device id.
// Pausing keeps the request: it completes after resume.
#include <zep3/media/MMSystem.h>
#include <zep3/platform/Export.h>

#define MCIERR_BASE 256u
#define MCIERR_INVALID_DEVICE_ID (MCIERR_BASE + 1)
#define MCIERR_HARDWARE (MCIERR_BASE + 6)
#define MCIERR_CANNOT_LOAD_DRIVER (MCIERR_BASE + 10)
#define MCIERR_FILE_NOT_FOUND (MCIERR_BASE + 19)
#define MCIERR_DEVICE_NOT_READY (MCIERR_BASE + 20)
#define MCIERR_OUTOFRANGE (MCIERR_BASE + 26)
#define MCIERR_INVALID_FILE (MCIERR_BASE + 40)

namespace zep3::detail {

// Opens the file (its type found from its content); the new id in *id.
ZEP3_TEST_API DWORD mciOpen(const char* file, MCIDEVICEID* id);
// Stops and frees the player; a pending notice is aborted.
ZEP3_TEST_API DWORD mciClose(MCIDEVICEID id);
// Plays from `from` (-1: the current position) to `to` (-1: the end). The
// range must lie within the length, its start not behind its end.
ZEP3_TEST_API DWORD mciPlay(MCIDEVICEID id, HWND notify, int from, int to);
// Stop, Pause, Resume and Seek wait until the player has done it.
ZEP3_TEST_API DWORD mciStop(MCIDEVICEID id);
ZEP3_TEST_API DWORD mciPause(MCIDEVICEID id);
ZEP3_TEST_API DWORD mciResume(MCIDEVICEID id);
ZEP3_TEST_API DWORD mciSeek(MCIDEVICEID id, int ms);
// Times are always milliseconds here; succeeds for an open device.
ZEP3_TEST_API DWORD mciSetTimeFormatMS(MCIDEVICEID id);
ZEP3_TEST_API DWORD mciGetLength(MCIDEVICEID id, DWORD* ms);
ZEP3_TEST_API DWORD mciGetPosition(MCIDEVICEID id, DWORD* ms);
// MCI_MODE_STOP, MCI_MODE_PLAY or MCI_MODE_PAUSE, without waiting.
ZEP3_TEST_API DWORD mciGetMode(MCIDEVICEID id, DWORD* mode);
// The text of an error code, cut to size - 1 characters; false for an
// unknown code (the buffer then holds an empty text).
ZEP3_TEST_API bool mciGetErrorString(DWORD error, char* buffer, UINT size);

} // namespace zep3::detail

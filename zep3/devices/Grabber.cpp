#include <zep3/devices/Grabber.h>
#include <zep3/devices/detail/PluginModule.h>
#include <zep3/devices/detail/VfWGrabber.h>

using namespace zep3::detail;

namespace {
PluginModule s_GrabberModule("CreateGrabber");
}

CGrabber::CGrabber() : m_nImplState(-2), m_bInited(false) {}

CGrabber::~CGrabber() = default;

bool CGrabber::GetCameraConfig(CArray<CMemory, CMemory const&>&) const { return false; }

bool CGrabber::IsInited(int) const { return m_bInited; }

int CGrabber::GetBoardCount() const { return 1; }

bool CGrabber::DisplayPropertyPage(int, HWND) { return false; }

bool CGrabber::HasPropertyPage(int) const { return false; }

bool CGrabber::ConfigureSupported() const { return false; }

bool CGrabber::PrepareConfigure(CArray<CString, CString>*, CWnd*) { return false; }

bool CGrabber::SetConfigure() { return true; }

void CGrabber::SwitchCamera(int, bool) {}

void CGrabber::SpeedUpCamera(int, bool) {}

long CGrabber::GetLastFrameIndex(int) { return 0; }

unsigned int CGrabber::GetSerialNumber() { return 0; }

bool CGrabber::IsSignal(int) { return true; }

bool CGrabber::SetCameraParameters(int, int, int, int) { return false; }

CString CGrabber::GetConfigFileName() const { return CString(); }

bool CGrabber::GetDebugLog(int, int, void*, int) { return false; }

CGrabber* CreateGrabber(CString const& name) {
    if (name.IsEmpty()) return nullptr;
    if (name == "VfW") return new CVfWGrabber;
    return s_GrabberModule.Create<CGrabber>(name);
}

void DestroyGrabber(CGrabber* grabber) {
    delete grabber;
    s_GrabberModule.Unload();
}

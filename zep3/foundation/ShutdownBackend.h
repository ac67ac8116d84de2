#pragma once
/// @class CShutdownBackend
/// The way SystemShutDown asks for a restart. The system's
/// own backend asks the login manager (logind, over the system bus) for a
/// reboot, which it grants or refuses by its policy; failing that, a process
/// with CAP_SYS_BOOT restarts the machine itself. Anything else is refused.
/// Setting ZEP3_NO_RESTART in the environment refuses every request.
/// Tests install a double with SetCurrent.
#include <zep3/platform/Export.h>

class ZEP3_API CShutdownBackend {
public:
    virtual ~CShutdownBackend() = default;
    /// Asks for a restart; true when the request was accepted.
    virtual bool Restart() = 0;

    /// The backend in use: the system's own until SetCurrent replaces it.
    static CShutdownBackend* GetCurrent();
    /// Installs backend (null: the system's own) and returns the previous one.
    /// The caller keeps ownership and keeps it alive while installed.
    static CShutdownBackend* SetCurrent(CShutdownBackend* backend);
};

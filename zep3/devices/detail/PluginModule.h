#pragma once
// The one plug-in module of a kind (grabber, digital or analog device) that
// the process keeps loaded, and the names of device lines.
#include <zep3/platform/Module.h>
#include <zep3/platform/String.h>
#include <zep3/platform/StringArray.h>
#include <zep3/platform/WinTypes.h>

#include <mutex>

namespace zep3::detail {

class PluginModule {
public:
    // factoryName: the export that makes an instance ("CreateGrabber" ...).
    explicit constexpr PluginModule(const char* factoryName) : m_FactoryName(factoryName) {}

    // Calls the module's factory, loading the module by `name` first when
    // none is loaded (".dll" at the end of a name that does not load is
    // retried as ".so"). Null when it cannot be loaded or has no factory.
    template <class T> T* Create(const CString& name) {
        // The export is a plain function returning the object.
        T* (*factory)() = reinterpret_cast<T* (*)()>(Factory(name));
        return factory ? factory() : nullptr;
    }
    // Unloads the module when one is loaded.
    void Unload();

private:
    FARPROC Factory(const CString& name);

    const char* m_FactoryName;
    std::mutex m_Lock;
    HMODULE m_hModule = nullptr;
};

// The name of line `index`: the one set, or prefix and the 1-based number
// ("I_01") when none (or an empty one) was set.
CString LineName(const CStringArray& names, int index, const char* prefix);
// Sets the name of line `index`, growing the list; false for a negative index.
bool SetLineName(CStringArray& names, int index, const CString& name);

} // namespace zep3::detail

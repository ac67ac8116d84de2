#include <zep3/devices/detail/PluginModule.h>

namespace zep3::detail {

namespace {

// Plug-ins are named as on Windows; on Linux the same module is a ".so".
HMODULE LoadPlugin(const CString& name) {
    if (HMODULE module = LoadLibrary(name)) return module;
    const int stem = name.GetLength() - 4;
    if (stem < 0 || name.Mid(stem).CompareNoCase(".dll") != 0) return nullptr;
    return LoadLibrary(name.Left(stem) + ".so");
}

} // namespace

FARPROC PluginModule::Factory(const CString& name) {
    std::lock_guard<std::mutex> hold(m_Lock);
    if (!m_hModule) m_hModule = LoadPlugin(name);
    if (!m_hModule) return nullptr;
    return GetProcAddress(m_hModule, m_FactoryName);
}

void PluginModule::Unload() {
    std::lock_guard<std::mutex> hold(m_Lock);
    if (m_hModule) FreeLibrary(m_hModule);
    m_hModule = nullptr;
}

CString LineName(const CStringArray& names, int index, const char* prefix) {
    if (index >= 0 && index < names.GetSize() && !names[index].IsEmpty()) return names[index];
    CString name;
    name.Format("%s_%02i", prefix, index + 1);
    return name;
}

bool SetLineName(CStringArray& names, int index, const CString& name) {
    if (index < 0) return false;
    names.SetAtGrow(index, name);
    return true;
}

} // namespace zep3::detail

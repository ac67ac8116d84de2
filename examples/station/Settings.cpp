#include "Settings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

const char* const SettingsFile::kPasswordKey = "ZEP3 station";

namespace {

const char* const kRoot = "Station";
const char* const kAnalysis = "Station\\Analysis";

struct IntSetting {
    const char* key;
    int StationSettings::*value;
    int low;
    int high;
};

const IntSetting kIntSettings[] = {
    {"Camera\\Width", &StationSettings::width, 16, 4096},
    {"Camera\\Height", &StationSettings::height, 16, 4096},
    {"Camera\\Rate", &StationSettings::rate, 1, 100},
    {"Camera\\Objects", &StationSettings::objects, 0, 8},
    {"Recording\\SegmentSeconds", &StationSettings::segmentSeconds, 1, 3600},
    {"Recording\\LimitMB", &StationSettings::limitMB, 1, 1000000},
    {"Recording\\MinFreeMB", &StationSettings::minFreeMB, 0, 1000000},
    {"Recording\\Quality", &StationSettings::quality, 1, 100},
    {"Recording\\Snapshots", &StationSettings::snapshotLimit, 1, 100000},
    {"Analysis\\Sensitivity", &StationSettings::sensitivity, 1, 100},
    {"Analysis\\MinimumMass", &StationSettings::minimumMass, 1, 1000000},
    {"Remote\\Port", &StationSettings::remotePort, 0, 65535},
    {"Web\\Port", &StationSettings::webPort, 0, 65535},
};

struct TextSetting {
    const char* key;
    CString StationSettings::*value;
    bool obscured;
};

const TextSetting kTextSettings[] = {
    {"Camera\\Grabber", &StationSettings::grabber, false},
    {"Remote\\User", &StationSettings::user, false},
    {"Remote\\Password", &StationSettings::password, true},
};

CString Stored(const TextSetting& s, const CString& value) {
    return s.obscured ? CCryptString::EncryptString(value, SettingsFile::kPasswordKey) : value;
}

// Reads one text item; a missing item is written with the default.
// Returns false when the item had to be added.
bool ReadOrAdd(CIniFile& view, const char* key, const CString& fallback, CString& text) {
    if (ExchangeObject(&view, 0, key, &text)) return true;
    text = fallback;
    ExchangeObject(&view, 1, key, &text);
    return false;
}

std::string Problem(const char* key, const CString& text, const std::string& rule, const std::string& fallback) {
    return std::string("setting ") + kRoot + "\\" + key + " = \"" + static_cast<const char*>(text) +
           "\" is not valid (" + rule + "); using the default " + fallback;
}

} // namespace

bool ParseWholeNumber(const CString& text, int low, int high, int& out) {
    const char* begin = text;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || value < low || value > high) return false;
    out = static_cast<int>(value);
    return true;
}

bool SettingsFile::Load(StationSettings& settings, CModule& analysis, std::vector<std::string>& problems) {
    CIniFile ini(m_Path.c_str(), true);
    bool changed = false;
    {
        CIniFile view(&ini, kRoot);
        const StationSettings defaults;
        for (const IntSetting& s : kIntSettings) {
            CString text;
            const CString fallback = std::to_string(defaults.*s.value).c_str();
            changed |= !ReadOrAdd(view, s.key, fallback, text);
            if (!ParseWholeNumber(text, s.low, s.high, settings.*s.value)) {
                settings.*s.value = defaults.*s.value;
                problems.push_back(Problem(s.key, text,
                                           "a whole number from " + std::to_string(s.low) + " to " +
                                               std::to_string(s.high),
                                           static_cast<const char*>(fallback)));
            }
        }
        for (const TextSetting& s : kTextSettings) {
            CString text;
            changed |= !ReadOrAdd(view, s.key, Stored(s, defaults.*s.value), text);
            const CString value = s.obscured ? CCryptString::DecryptString(text, kPasswordKey) : text;
            if (value.IsEmpty()) {
                settings.*s.value = defaults.*s.value;
                problems.push_back(Problem(s.key, text, s.obscured ? "not an obscured text" : "empty",
                                           s.obscured ? "password" : static_cast<const char*>(defaults.*s.value)));
            } else {
                settings.*s.value = value;
            }
        }
    }
    {
        // The trackers: the module's defaults are written when they are missing.
        CIniFile view(&ini, kAnalysis);
        analysis.MarkForInit();
        CString probe;
        if (!ExchangeObject(&view, 0, "Zone\\HandleCount", &probe)) {
            analysis.Exchange(&view, 1);
            changed = true;
        } else if (!analysis.Exchange(&view, 0)) {
            problems.push_back(std::string("the trackers under ") + kAnalysis + " are not complete; what is missing keeps its default");
        }
    }
    if (changed && !ini.WriteIniFile(false)) return false;
    return true;
}

bool SettingsFile::SaveAnalysis(const StationSettings& settings, CModule& analysis) {
    CIniFile ini(m_Path.c_str(), true);
    CIniFile root(&ini, kRoot);
    int sensitivity = settings.sensitivity;
    ExchangeObject(&root, 1, "Analysis\\Sensitivity", &sensitivity);
    CIniFile view(&ini, kAnalysis);
    analysis.Exchange(&view, 1);
    return ini.WriteIniFile(false);
}

bool SettingsFile::SetPassword(const CString& password) {
    if (password.IsEmpty()) return false;
    CIniFile ini(m_Path.c_str(), true);
    CIniFile root(&ini, kRoot);
    CString stored = CCryptString::EncryptString(password, kPasswordKey);
    ExchangeObject(&root, 1, "Remote\\Password", &stored);
    return ini.WriteIniFile(false);
}

std::vector<std::string> SettingsFile::Describe(const StationSettings& settings) {
    const StationSettings defaults;
    std::vector<std::string> lines;
    for (const IntSetting& s : kIntSettings)
        lines.push_back(std::string(s.key) + " = " + std::to_string(settings.*s.value) + "   (default " +
                        std::to_string(defaults.*s.value) + ")");
    for (const TextSetting& s : kTextSettings) {
        if (s.obscured) {
            lines.push_back(std::string(s.key) + " = (obscured in the file)   (default \"" +
                            static_cast<const char*>(defaults.*s.value) + "\")");
            continue;
        }
        lines.push_back(std::string(s.key) + " = " + static_cast<const char*>(settings.*s.value) + "   (default " +
                        static_cast<const char*>(defaults.*s.value) + ")");
    }
    return lines;
}

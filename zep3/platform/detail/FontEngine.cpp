#include <zep3/platform/detail/FontEngine.h>

#include <zep3/platform/CodePage.h>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace zep3::detail {

namespace {

// FreeType's library object and fontconfig are shared by all threads; face
// creation and destruction and every fontconfig call go through this lock.
std::mutex g_libraryLock;
FT_Library g_library = nullptr;

FT_Library Library() {
    if (!g_library && FT_Init_FreeType(&g_library) != 0) g_library = nullptr;
    return g_library;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Windows face names and the metric-compatible families that stand in for them.
const char* MapFamily(const char* face) {
    static const std::pair<const char*, const char*> kMap[] = {
        {"", "Liberation Sans"},
        {"Arial", "Liberation Sans"},
        {"Helvetica", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"MS Shell Dlg", "Liberation Sans"},
        {"MS Shell Dlg 2", "Liberation Sans"},
        {"System", "Liberation Sans"},
        {"Tahoma", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
        {"Courier", "Liberation Mono"},
    };
    for (const auto& m : kMap)
        if (strcasecmp(face, m.first) == 0) return m.second;
    return face;
}

// The DejaVu family that replaces a missing Liberation one.
const char* FallbackFamily(const char* family) {
    if (strcasecmp(family, "Liberation Serif") == 0) return "DejaVu Serif";
    if (strcasecmp(family, "Liberation Mono") == 0) return "DejaVu Sans Mono";
    return "DejaVu Sans";
}

// The layer's own fontconfig configuration, so that it leaves the process's
// default one alone and frees everything it loaded at exit.
FcConfig* Config() {
    static struct Holder {
        FcConfig* config = FcInitLoadConfigAndFonts();
        ~Holder() {
            if (config) FcConfigDestroy(config);
        }
    } holder;
    return holder.config;
}

std::pair<std::string, int> MatchWithFontconfig(const char* family, int weight, bool italic) {
    FcConfig* config = Config();
    if (!config) return {};
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return {};
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::pair<std::string, int> found;
    if (match) {
        FcChar8* file = nullptr;
        FcChar8* matchedFamily = nullptr;
        int index = 0;
        // Only an exact family counts: fontconfig always answers something.
        if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
            strcasecmp(reinterpret_cast<const char*>(matchedFamily), family) == 0 &&
            FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
            FcPatternGetInteger(match, FC_INDEX, 0, &index);
            found = {reinterpret_cast<const char*>(file), index};
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return found;
}

// Debian's paths of the two families, for when fontconfig finds nothing.
std::pair<std::string, int> FixedPath(const char* family, bool bold, bool italic) {
    const bool liberation = strncasecmp(family, "Liberation", 10) == 0;
    std::string base = liberation ? "/usr/share/fonts/truetype/liberation/LiberationSans-"
                                  : "/usr/share/fonts/truetype/dejavu/DejaVuSans";
    std::string style;
    if (liberation) style = bold ? (italic ? "BoldItalic" : "Bold") : (italic ? "Italic" : "Regular");
    else style = bold ? (italic ? "-BoldOblique" : "-Bold") : (italic ? "-Oblique" : "");
    const std::string path = base + style + ".ttf";
    return FileExists(path) ? std::make_pair(path, 0) : std::make_pair(std::string(), 0);
}

LONG Round(double v) { return static_cast<LONG>(std::lround(v)); }

}  // namespace

std::pair<std::string, int> FindFontFile(const char* faceName, int weight, bool italic) {
    std::lock_guard<std::mutex> lock(g_libraryLock);
    static std::map<std::string, std::pair<std::string, int>> cache;
    const char* family = MapFamily(faceName ? faceName : "");
    const std::string key = std::string(family) + '\n' + (weight >= 600 ? 'B' : 'R') + (italic ? 'I' : 'N');
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    std::pair<std::string, int> found = MatchWithFontconfig(family, weight, italic);
    if (found.first.empty()) found = MatchWithFontconfig(FallbackFamily(family), weight, italic);
    if (found.first.empty()) found = FixedPath(family, weight >= 600, italic);
    if (found.first.empty()) found = FixedPath("DejaVu Sans", weight >= 600, italic);
    cache[key] = found;
    return found;
}

struct FontFace::Impl {
    FT_Face face = nullptr;
    ~Impl() {
        std::lock_guard<std::mutex> lock(g_libraryLock);
        if (face) FT_Done_Face(face);
    }
};

FontFace::~FontFace() = default;

std::shared_ptr<FontFace> FontFace::Realize(const LOGFONT& lf) {
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
    const bool italic = lf.lfItalic != 0;
    const std::pair<std::string, int> file = FindFontFile(face, lf.lfWeight, italic);
    if (file.first.empty()) return nullptr;

    // One face per file, size and style, kept for the life of the process.
    static std::mutex cacheLock;
    static std::map<std::string, std::shared_ptr<FontFace>> cache;
    char key[512];
    std::snprintf(key, sizeof key, "%s|%d|%d|%d|%d|%d|%d|%d", file.first.c_str(), file.second, int(lf.lfHeight),
                  int(lf.lfWidth), lf.lfWeight >= 600, italic, lf.lfUnderline != 0, lf.lfStrikeOut != 0);
    std::lock_guard<std::mutex> lock(cacheLock);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    std::shared_ptr<FontFace> realised(new FontFace);
    if (!realised->Open(file.first, file.second, lf)) return nullptr;
    cache[key] = realised;
    return realised;
}

bool FontFace::Open(const std::string& file, int index, const LOGFONT& lf) {
    m_impl = std::make_unique<Impl>();
    m_file = file;
    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_libraryLock);
        FT_Library library = Library();
        if (!library || FT_New_Face(library, file.c_str(), index, &face) != 0) return false;
    }
    m_impl->face = face;
    if (!FT_IS_SCALABLE(face)) return false;

    // Cell metrics as Windows takes them: the OS/2 table's Windows ascent
    // and descent, falling back to the horizontal header.
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
    const double upem = face->units_per_EM ? face->units_per_EM : 2048;
    double winAscent = os2 && os2->usWinAscent ? os2->usWinAscent : face->ascender;
    double winDescent = os2 && os2->usWinAscent ? os2->usWinDescent : -face->descender;
    if (winAscent + winDescent <= 0) { winAscent = upem * 0.9; winDescent = upem * 0.2; }

    double em = 12;
    if (lf.lfHeight < 0) em = -double(lf.lfHeight);
    else if (lf.lfHeight > 0) em = lf.lfHeight * upem / (winAscent + winDescent);
    const int emPixels = std::max(1, int(std::lround(em)));
    const double scale = emPixels / upem;
    const double avgUnits = os2 && os2->xAvgCharWidth ? os2->xAvgCharWidth : upem / 2;
    int xPixels = emPixels;
    if (lf.lfWidth > 0) xPixels = std::max(1, int(std::lround(emPixels * lf.lfWidth / (avgUnits * scale))));
    if (FT_Set_Pixel_Sizes(face, FT_UInt(xPixels), FT_UInt(emPixels)) != 0) return false;
    const double xScale = xPixels / upem;

    const bool wantBold = lf.lfWeight >= 600;
    m_emboldenSynth = wantBold && !(face->style_flags & FT_STYLE_FLAG_BOLD);
    m_obliqueSynth = lf.lfItalic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    m_underline = lf.lfUnderline != 0;
    m_strikeOut = lf.lfStrikeOut != 0;

    TEXTMETRIC& tm = m_tm;
    tm.tmAscent = Round(winAscent * scale);
    tm.tmDescent = lf.lfHeight > 0 ? std::max<LONG>(0, lf.lfHeight - tm.tmAscent) : Round(winDescent * scale);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
    tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - emPixels);
    if (hhea) {
        const double gap = hhea->Line_Gap - ((winAscent + winDescent) - (hhea->Ascender - hhea->Descender));
        tm.tmExternalLeading = std::max<LONG>(0, Round(gap * scale));
    }
    tm.tmAveCharWidth = Round(avgUnits * xScale);
    tm.tmMaxCharWidth = Round(face->max_advance_width * xScale);
    tm.tmWeight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x1E;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    // The low bit set means variable pitch (Windows' inverted flag).
    tm.tmPitchAndFamily = BYTE((FT_IS_FIXED_WIDTH(face) ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE | FF_SWISS);
    tm.tmCharSet = lf.lfCharSet != DEFAULT_CHARSET ? lf.lfCharSet : (GetACP() == 1250 ? EASTEUROPE_CHARSET : ANSI_CHARSET);

    m_lineThickness = std::max(1, int(std::lround(face->underline_thickness * scale)));
    m_underlineOffset = std::max(1, int(std::lround(-face->underline_position * scale)));
    m_strikeOffset = os2 && os2->yStrikeoutPosition ? -int(std::lround(os2->yStrikeoutPosition * scale))
                                                    : -int(std::lround(tm.tmAscent / 3.0));
    return true;
}

const Glyph& FontFace::GetGlyph(char32_t c) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_glyphs.find(c);
    if (it != m_glyphs.end()) return it->second;
    Glyph& g = m_glyphs[c];
    FT_Face face = m_impl->face;
    const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
    // Light hinting aligns to the pixel grid vertically only, so the advances
    // stay the font's own widths.
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT) != 0) return g;
    FT_GlyphSlot slot = face->glyph;
    g.advance = int(std::lround(slot->linearHoriAdvance / 65536.0));
    if (m_emboldenSynth) {
        FT_GlyphSlot_Embolden(slot);
        g.advance += 1;
    }
    if (m_obliqueSynth) FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
    g.width = int(bm.width);
    g.rows = int(bm.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.coverage.resize(size_t(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y) {
        const unsigned char* src = bm.buffer + (bm.pitch >= 0 ? y * bm.pitch : (g.rows - 1 - y) * -bm.pitch);
        std::memcpy(&g.coverage[size_t(y) * g.width], src, size_t(g.width));
    }
    return g;
}

}  // namespace zep3::detail

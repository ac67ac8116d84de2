#pragma once
// Realised fonts: a FreeType face at one pixel size with its Windows-style
// metrics and a cache of rendered glyphs. Faces are shared by every logical
// font that realises to the same file, size and style, so the CFont objects
// an application makes afresh for each paint reuse the glyphs already drawn.
#include <zep3/platform/GdiConstants.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace zep3::detail {

// A rendered glyph: 8-bit coverage rows (0 = none, 255 = full), placed
// `left` pixels right of the pen and `top` pixels above the baseline.
struct Glyph {
    int width = 0;
    int rows = 0;
    int left = 0;
    int top = 0;
    int advance = 0;
    std::vector<BYTE> coverage;
};

class FontFace {
public:
    // The face for a logical font; null when no font file can be loaded.
    // Thread-safe.
    static std::shared_ptr<FontFace> Realize(const LOGFONT& lf);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    const TEXTMETRIC& Metrics() const { return m_tm; }
    // The rendered glyph of a code point (the missing-glyph box when the face
    // lacks it). Thread-safe; the reference stays valid while the face lives.
    const Glyph& GetGlyph(char32_t c);
    // Underline and strike-out lines: offset below the baseline (negative =
    // above) and thickness, in pixels.
    int UnderlineOffset() const { return m_underlineOffset; }
    int StrikeOffset() const { return m_strikeOffset; }
    int LineThickness() const { return m_lineThickness; }
    bool Underline() const { return m_underline; }
    bool StrikeOut() const { return m_strikeOut; }
    const std::string& File() const { return m_file; }

private:
    FontFace() = default;
    bool Open(const std::string& file, int index, const LOGFONT& lf);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::mutex m_lock;
    std::unordered_map<char32_t, Glyph> m_glyphs;
    TEXTMETRIC m_tm{};
    std::string m_file;
    int m_underlineOffset = 1;
    int m_strikeOffset = -3;
    int m_lineThickness = 1;
    bool m_underline = false;
    bool m_strikeOut = false;
    bool m_emboldenSynth = false;
    bool m_obliqueSynth = false;
};

// The font file for a face name, weight and slant: path and face index.
// Empty path when nothing can be found.
std::pair<std::string, int> FindFontFile(const char* faceName, int weight, bool italic);

}  // namespace zep3::detail

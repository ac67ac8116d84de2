#pragma once
/// @file
/// The system code page of 8-bit text. Text stays bytes everywhere in the
/// library; it is decoded only to look up glyphs. The default is Windows-1250
/// (Central European); the environment variable ZEP3_CODEPAGE (a number such
/// as 1252) or SetACP chooses another single-byte code page, decoded through
/// iconv.
#include <zep3/platform/Export.h>
#include <zep3/platform/WinTypes.h>

#include <string>

/// The code page in force (1250 unless changed).
ZEP3_API UINT GetACP();
/// Changes the code page for every thread; false (and no change) when iconv
/// does not know "CP<codePage>". 1250 is always known.
ZEP3_API bool SetACP(UINT codePage);
/// Decodes 8-bit text in the current code page to Unicode code points, one per
/// byte; bytes the code page leaves undefined keep their own value.
ZEP3_API std::u32string DecodeACP(const char* text, int length);

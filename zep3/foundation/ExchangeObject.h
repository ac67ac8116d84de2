#pragma once
/// @file
/// The typed value exchange: one call per member moves a value between a
/// variable and a configuration store, in the direction given by mode:
/// 0 reads the item's text into *value, 1 writes *value as the item's text,
/// any other mode does nothing and returns true.
///
/// Results: a write returns true; a read returns true when the item (for a
/// compound value: every part read) was present, false when absent, leaving
/// the variable unchanged except for float and double, which become 0.0. A
/// null value makes a read return false and a write do nothing; a null
/// store returns false.
///
/// Text forms:
///   unsigned char, short, int, long, bool   "%i" (bool as 1 or 0)
///   unsigned short, unsigned int/long       "%u"
///   CTime                                   "%i" of its seconds since 1970
///   float, double                           "%10f" (a double is narrowed to float)
///   CString                                 the text itself
///   LOGFONT                                 "face,height,width,weight,italic,underline,
///                                           strike-out,charset,out precision,clip precision,
///                                           quality,pitch and family,escapement,orientation"
///   CPoint / CSize / CRect                  a child view with X, Y / CX, CY /
///                                           Left, Top, Right, Bottom
///   CMemory                                 a child view with Size, Pointer and one row
///                                           of 16 bytes as hex per key 0x0000, 0x0010, ...
/// Integers are read with the decimal rule: leading white space, an
/// optional sign, digits up to the first non-digit, wrapping modulo 2^32;
/// each type keeps its low bits. long and unsigned long keep 32-bit texts and
/// values although long is 64-bit here.
#include <zep3/foundation/IniFile.h>
#include <zep3/foundation/Memory.h>
#include <zep3/platform/GdiTypes.h>
#include <zep3/platform/Point.h>
#include <zep3/platform/Rect.h>
#include <zep3/platform/Size.h>
#include <zep3/platform/Time.h>

ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned char* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, short* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned short* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, int* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned int* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, long* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, unsigned long* value);
/// Declared with CIniFile: bool ExchangeObject(CIniFile*, int, const CString&, float*).
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, double* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, bool* value);
/// A time is set only when its item is present.
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CTime* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CString* value);
/// Read: false (font unchanged) when the item is absent or empty; otherwise
/// the font is zeroed and filled field by field.
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, LOGFONT* value);
/// Compound values: parts in the listed order; a read stops with false at the
/// first absent part, keeping the parts read before it.
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CPoint* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CSize* value);
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CRect* value);
/// Read into a block holding data: the stored size must equal its size and
/// the rows are decoded into its bytes. Read into an empty block: a stored
/// size from 0 to 10239 is created and filled. False when a size does not
/// fit or a row is not exactly its hex length (rows decoded before stay).
/// Pointer is written for information ("0x%08lX" of the address) and never read.
ZEP3_API bool ExchangeObject(CIniFile* ini, int mode, const CString& key, CMemory* value);

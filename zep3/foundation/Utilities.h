#pragma once
/// @file
/// Small numeric helpers and the library's version number.
#include <zep3/platform/Export.h>
#include <zep3/platform/String.h>

/// Nearest integer, halves away from zero (2.5 gives 3, -2.5 gives -3).
/// Like the 32-bit conversion it replaces, a value outside the int range (or
/// NaN) gives INT_MIN.
ZEP3_API int RoundInl(double x);
/// Hexadecimal text to integer, modulo 2^32: the k-th character from the end
/// weighs 16^k. Characters are not validated (a "0x" prefix or a stray letter
/// adds its computed value); bytes are taken as signed chars. Empty text gives 0.
ZEP3_API int htoi(const CString& text);
/// The library's version number: 10.
ZEP3_API int GetZEP3Version();

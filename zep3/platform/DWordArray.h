#pragma once
/// @class CDWordArray
/// An array of 32-bit unsigned values.
#include <zep3/platform/Array.h>

class CDWordArray : public CArray<DWORD, DWORD> {};

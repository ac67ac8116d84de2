#pragma once
/// @class CStringArray
/// An array of CString.
#include <zep3/platform/Array.h>
#include <zep3/platform/String.h>

class CStringArray : public CArray<CString, const CString&> {};

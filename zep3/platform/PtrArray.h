#pragma once
/// @class CPtrArray
/// An array of untyped pointers; it owns nothing they point to.
#include <zep3/platform/Array.h>

class CPtrArray : public CArray<void*, void*> {};

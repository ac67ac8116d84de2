#pragma once
/// @class CArrayEx
/// The array type of the library's exported
/// signatures; a CArray that copies and assigns its elements deeply.
#include <zep3/platform/Array.h>

template <class TYPE, class ARG_TYPE = const TYPE&> class CArrayEx : public CArray<TYPE, ARG_TYPE> {};

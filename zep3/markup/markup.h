#pragma once
/// @file
/// Structured text: the XML document.
#include <zep3/markup/Markup.h>

#pragma once
/// @file
/// Analysis modules: the base class of the image-analysis modules that own
/// the operator's shapes and options.
#include <zep3/modules/Feature.h>
#include <zep3/modules/Module.h>

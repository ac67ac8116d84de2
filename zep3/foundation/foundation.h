#pragma once
// Foundation services.
#include <zep3/foundation/Counter.h>
#include <zep3/foundation/ExchangeObject.h>
#include <zep3/foundation/IniFile.h>
#include <zep3/foundation/Memory.h>
#include <zep3/foundation/Utilities.h>

#pragma once
/// @file
/// The foundation services' public headers.
#include <zep3/foundation/Counter.h>
#include <zep3/foundation/CrashHandler.h>
#include <zep3/foundation/ExchangeObject.h>
#include <zep3/foundation/FileUtils.h>
#include <zep3/foundation/IniFile.h>
#include <zep3/foundation/Language.h>
#include <zep3/foundation/LogFile.h>
#include <zep3/foundation/Memory.h>
#include <zep3/foundation/ShutdownBackend.h>
#include <zep3/foundation/ThreadManager.h>
#include <zep3/foundation/Utilities.h>

#pragma once
// The foundation services' public headers.
#include <zep3/foundation/FileUtils.h>
#include <zep3/foundation/Language.h>
#include <zep3/foundation/LogFile.h>
#include <zep3/foundation/ShutdownBackend.h>

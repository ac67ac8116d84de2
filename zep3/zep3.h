#pragma once
/// @file
/// ZEP3: the whole public interface of the library.
#include <zep3/platform/platform.h>
#include <zep3/foundation/foundation.h>
#include <zep3/crypto/crypto.h>
#include <zep3/imaging/imaging.h>
#include <zep3/markup/markup.h>
#include <zep3/devices/devices.h>
#include <zep3/media/media.h>
#include <zep3/modules/modules.h>
#include <zep3/controls/controls.h>
#include <zep3/db/db.h>
#include <zep3/net/net.h>
#include <zep3/system/system.h>

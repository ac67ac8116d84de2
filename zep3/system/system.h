#pragma once
/// @file
/// System utilities: dial-up connections and network adapter information.
#include <zep3/system/IpHelperTypes.h>
#include <zep3/system/NetworkAdapter.h>
#include <zep3/system/Ras.h>
#include <zep3/system/RasTypes.h>

#pragma once
/// @file
/// Window controls for the applications' dialogs: the weekly schedule of
/// typed periods and the waveform view with its position bar.
#include <zep3/controls/Period.h>
#include <zep3/controls/ScheduleCtrl.h>
#include <zep3/controls/WaveGraphCtrl.h>
#include <zep3/controls/WaveGraphPositionCtrl.h>

#pragma once
/// @file
/// Media: AVI recording and playback with the video codecs, sound input,
/// wave files, the MP3 encoder stream, media playback and display surfaces.
#include <zep3/media/AVIEdit.h>
#include <zep3/media/AVIFile.h>
#include <zep3/media/Codec.h>
#include <zep3/media/Vfw.h>
#include <zep3/media/BladeMP3Enc.h>
#include <zep3/media/DDraw.h>
#include <zep3/media/DXDisplay.h>
#include <zep3/media/DXSurface.h>
#include <zep3/media/LameMP3.h>
#include <zep3/media/MCI.h>
#include <zep3/media/MMSystem.h>
#include <zep3/media/MmioWaveFile.h>
#include <zep3/media/SoundIn.h>
#include <zep3/media/WaveFile.h>
#include <zep3/media/WaveFileHeader.h>

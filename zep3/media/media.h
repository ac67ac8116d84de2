#pragma once
// Media: AVI recording and playback with the video codecs.
#include <zep3/media/AVIEdit.h>
#include <zep3/media/AVIFile.h>
#include <zep3/media/Codec.h>
#include <zep3/media/Vfw.h>

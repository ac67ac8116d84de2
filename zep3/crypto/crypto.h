#pragma once
// Encodings and ciphers.
#include <zep3/crypto/HexText.h>
#include <zep3/crypto/UpdateCRC.h>

#pragma once
/// @file
/// Encodings and ciphers.
#include <zep3/crypto/Base64Coder.h>
#include <zep3/crypto/CryptString.h>
#include <zep3/crypto/CryptoRc5.h>
#include <zep3/crypto/Hash.h>
#include <zep3/crypto/HexText.h>
#include <zep3/crypto/RC4.h>
#include <zep3/crypto/UpdateCRC.h>

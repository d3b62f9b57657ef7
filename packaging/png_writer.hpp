#pragma once
#include <cstdint>
#include <string>

#include "resources/bitmaps.hpp"

namespace korvel {

// Writes a bitmap (0xRRGGBB pixels) as an 8-bit RGB PNG file. The image data goes into stored
// (uncompressed) deflate blocks, so no compression library is needed; icons stay small anyway.
// Returns an empty string on success, else what failed.
std::string WritePngFile(const BitmapResource& image, const char* path);

// CRC-32 of the PNG chunks and Adler-32 of the zlib stream, exposed for their tests.
uint32_t PngCrc32(const uint8_t* bytes, size_t count, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* bytes, size_t count);

}  // namespace korvel

// The icon files the package installs: valid PNG structure, and pixels that read back exactly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "packaging/png_writer.hpp"

namespace korvel {
namespace {

uint32_t BigEndian(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

TEST(PngWriter, ChecksumsMatchKnownValues) {
  const uint8_t iend[] = {'I', 'E', 'N', 'D'};
  EXPECT_EQ(PngCrc32(iend, 4), 0xAE426082u);
  const char* word = "Wikipedia";
  EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(word), std::strlen(word)), 0x11E60398u);
}

// A 300 x 80 icon needs more than one stored block (72,080 bytes of rows): every chunk's CRC holds
// and the rows decode back to the pixels written.
TEST(PngWriter, LargeIconReadsBackPixelForPixel) {
  const BitmapResource icon = ProgramIcon(256);
  BitmapResource image;
  image.width = 300;
  image.height = 80;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 300; ++x) image.pixels.push_back(icon.pixels[static_cast<size_t>(y * 256 + x % 256)]);
  }
  const std::string path = "/tmp/korvel_png_test_" + std::to_string(::getpid()) + ".png";
  ASSERT_EQ(WritePngFile(image, path.c_str()), "");
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::unlink(path.c_str());
  ASSERT_GT(png.size(), 8u);
  ASSERT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);

  std::vector<uint8_t> zlib;
  size_t at = 8;
  std::vector<std::string> types;
  while (at + 12 <= png.size()) {
    const uint32_t length = BigEndian(&png[at]);
    ASSERT_LE(at + 12 + length, png.size());
    types.emplace_back(reinterpret_cast<const char*>(&png[at + 4]), 4);
    EXPECT_EQ(PngCrc32(&png[at + 4], length + 4), BigEndian(&png[at + 8 + length])) << types.back();
    if (types.back() == "IHDR") {
      EXPECT_EQ(BigEndian(&png[at + 8]), 300u);
      EXPECT_EQ(BigEndian(&png[at + 12]), 80u);
    }
    if (types.back() == "IDAT") zlib.insert(zlib.end(), &png[at + 8], &png[at + 8 + length]);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

  // Stored deflate blocks: BFINAL/BTYPE byte, LEN, NLEN, data.
  std::vector<uint8_t> raw;
  size_t z = 2;
  bool last = false;
  while (!last) {
    ASSERT_LE(z + 5, zlib.size());
    last = (zlib[z] & 1) != 0;
    const size_t length = zlib[z + 1] | (zlib[z + 2] << 8);
    EXPECT_EQ(length ^ 0xFFFFu, size_t{zlib[z + 3]} | (size_t{zlib[z + 4]} << 8));
    raw.insert(raw.end(), zlib.begin() + static_cast<long>(z + 5), zlib.begin() + static_cast<long>(z + 5 + length));
    z += 5 + length;
  }
  EXPECT_EQ(Adler32(raw.data(), raw.size()), BigEndian(&zlib[z]));
  ASSERT_EQ(raw.size(), 80u * (1 + 3 * 300));
  for (int y = 0; y < 80; ++y) {
    const uint8_t* row = &raw[static_cast<size_t>(y) * 901];
    ASSERT_EQ(row[0], 0);
    for (int x = 0; x < 300; ++x) {
      const uint32_t p = image.pixels[static_cast<size_t>(y * 300 + x)];
      ASSERT_EQ((uint32_t{row[1 + 3 * x]} << 16) | (uint32_t{row[2 + 3 * x]} << 8) | row[3 + 3 * x], p)
          << x << "," << y;
    }
  }
}

}  // namespace
}  // namespace korvel

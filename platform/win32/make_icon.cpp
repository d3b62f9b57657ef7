// korvel-icon FILE: writes the program's icon (bitmap 101) as an icon file for the resource
// compiler of the Windows build.
#include <cstdio>

#include "platform/win32/dialog_resource.hpp"
#include "resources/bitmaps.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvel-icon FILE\n");
    return 2;
  }
  const auto bytes = korvel::win32::EncodeIconFile(korvel::LoadBitmapResource(101));
  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr || bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::fprintf(stderr, "korvel-icon: cannot write %s\n", argv[1]);
    if (file != nullptr) std::fclose(file);
    return 1;
  }
  return std::fclose(file) == 0 ? 0 : 1;
}

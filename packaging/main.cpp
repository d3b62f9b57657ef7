// korvel-export-icons DIR: writes the program's icon as DIR/<N>x<N>/apps/korvel.png for the sizes
// of the desktop's icon theme; the install step puts them under share/icons/hicolor.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "packaging/png_writer.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvel-export-icons DIR\n");
    return 2;
  }
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    std::string dir = std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size);
    ::mkdir(argv[1], 0755);
    ::mkdir(dir.c_str(), 0755);
    dir += "/apps";
    ::mkdir(dir.c_str(), 0755);
    const std::string error = korvel::WritePngFile(korvel::ProgramIcon(size), (dir + "/korvel.png").c_str());
    if (!error.empty()) {
      std::fprintf(stderr, "korvel-export-icons: %s\n", error.c_str());
      return 1;
    }
  }
  return 0;
}

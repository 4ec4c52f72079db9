// Puts a compiled sample description into the program folder the way adding
// a description file does: read by the loader and written back by it, so
// that every text keeps only its English part, as in a description a user
// adds. Without this the tables would show "|en|Pressure|de|Druck".
//
//   install_description LIRRAND.so IN.bin OUT.bin
#include <cstdio>
#include <string>

#include "lirrand.h"
#include "platform/dynamic_library.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: install_description LIRRAND.so IN.bin OUT.bin\n");
    return 2;
  }
  tavrin::platform::DynamicLibrary loader;
  if (!loader.open(argv[1])) {
    std::fprintf(stderr, "install_description: %s\n", loader.error().c_str());
    return 1;
  }
  auto* read = loader.function<decltype(Binary_ReadEDD)>("Binary_ReadEDD");
  auto* print = loader.function<decltype(Binary_PrintEDD)>("Binary_PrintEDD");
  auto* release = loader.function<decltype(Binary_DeleteALL)>("Binary_DeleteALL");
  if (!read || !print || !release) {
    std::fprintf(stderr, "install_description: %s lacks a loader export\n", argv[1]);
    return 1;
  }
  EddBlock block{};
  const bool ok = read(&block, argv[2]) != 0 && print(&block, argv[3]) == 0;
  release(&block);
  if (!ok) {
    std::fprintf(stderr, "install_description: %s could not be read or %s written\n", argv[2], argv[3]);
    return 1;
  }
  return 0;
}

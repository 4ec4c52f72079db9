#include <cstring>
#include <string>

#include "platform/program_folder.h"

extern "C" __attribute__((visibility("default"))) int ProbeProgramFolder(char* out, int size) {
  std::string folder = tavrin::platform::libraryProgramFolder(reinterpret_cast<const void*>(&ProbeProgramFolder));
  if (size <= 0 || folder.size() + 1 > static_cast<size_t>(size)) return -1;
  std::memcpy(out, folder.c_str(), folder.size() + 1);
  return static_cast<int>(folder.size());
}

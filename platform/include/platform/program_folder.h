// The program folder: every file the program reads or writes lives below the
// folder of its own executable. Paths keep a trailing '/', so callers append
// names directly ("Driver/Lirrand.so", "com.ini").
#pragma once

#include <string>

namespace tavrin::platform {

// Folder of the running executable, with a trailing '/'. Empty when the
// kernel cannot tell (no /proc).
std::string executableFolder();

// Program folder as seen from a shared library in its Driver/ folder: the
// folder above the one holding the library, taken from the path that the
// dynamic loader recorded for it (dladdr) without resolving symbolic links,
// so a test may link Driver/*.so into a program folder of its own. Pass any
// address inside the library. Empty when the address belongs to no loaded
// object.
std::string libraryProgramFolder(const void* addressInLibrary);

// "a/b/c" -> "a/b/", "a/b/" -> "a/". Empty when there is no '/'.
std::string parentFolder(const std::string& path);

}  // namespace tavrin::platform

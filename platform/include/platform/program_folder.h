// The program folder: every file the program reads or writes lives below the
// folder of its own executable. Paths keep a trailing '/', so callers append
// names directly ("Driver/Lirrand.so", "com.ini").
#pragma once

#include <string>

namespace tavrin::platform {

// Folder of the running executable, with a trailing '/'. Empty when the
// kernel cannot tell (no /proc).
std::string executableFolder();

// Folder of the running executable as it was started: the path the
// program was called by (argv[0], looked up in PATH when it names no
// folder), made absolute, its symbolic links kept. A per-user program
// folder whose executables are links into an installed, read-only one is
// then the user's folder, not the installed one. Falls back to
// executableFolder() when the name is not found. `path` is PATH's value
// (nullptr: none).
std::string startedFolder(const char* argv0, const char* path);

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

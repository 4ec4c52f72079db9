// A loaded shared library, closed when the object goes away. Functions are
// looked up by name; a missing name gives nullptr and the caller decides what
// that means (the links report it, they never call through it).
#pragma once

#include <string>

namespace tavrin::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(DynamicLibrary&& other) noexcept;
  DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // Loads the library at path (RTLD_NOW, symbols kept local). On failure the
  // object stays closed and error() tells why.
  bool open(const std::string& path);
  void close();
  bool isOpen() const { return handle_ != nullptr; }
  const std::string& error() const { return error_; }

  void* symbol(const char* name) const;

  template <class Function>
  Function* function(const char* name) const {
    return reinterpret_cast<Function*>(symbol(name));
  }

 private:
  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace tavrin::platform

// The transport's one error object. It is raised and caught inside the same
// operation, which turns it into a result; it never leaves the library.
#pragma once

#include <stdexcept>
#include <string>

namespace tavrin::kelvane {

// The system's text for an errno value.
std::string systemErrorText(int errorCode);

class CRuntimeException : public std::runtime_error {
 public:
  // errorCode is an errno value, or 0 for an error described by text alone.
  explicit CRuntimeException(int errorCode, const std::string& text = {});

  int errorCode() const noexcept { return errorCode_; }
  // The system's text for the code, or the own text when the code is 0.
  std::string message() const { return what(); }

 private:
  int errorCode_;
};

}  // namespace tavrin::kelvane

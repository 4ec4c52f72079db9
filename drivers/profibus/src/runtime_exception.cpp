#include "kelvane/runtime_exception.h"

#include <string.h>

namespace tavrin::kelvane {

std::string systemErrorText(int errorCode) {
  char buffer[128] = {};
  // The GNU strerror_r returns the text, in buffer or static.
  return ::strerror_r(errorCode, buffer, sizeof buffer);
}

CRuntimeException::CRuntimeException(int errorCode, const std::string& text)
    : std::runtime_error(errorCode != 0 ? systemErrorText(errorCode) : text), errorCode_(errorCode) {}

}  // namespace tavrin::kelvane

#include "kelvane/runtime_exception.h"

#include <system_error>

namespace tavrin::kelvane {

CRuntimeException::CRuntimeException(int errorCode, const std::string& text)
    : std::runtime_error(errorCode != 0 ? std::system_category().message(errorCode) : text), errorCode_(errorCode) {}

}  // namespace tavrin::kelvane

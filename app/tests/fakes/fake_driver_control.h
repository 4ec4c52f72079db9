// The scripted driver libraries: a test queues the statuses (and reply
// bytes) that the next driver calls return and reads back a log of every
// call. Both fakes export these control functions besides the driver's own.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define FAKE_DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace tavrin::app::fakes {

// Pointer types of the control functions, for DynamicLibrary::function.
using ResetFn = void();
using ReplyFn = void(uint8_t status, const uint8_t* data, uint8_t length);
using SetOpenResultFn = void(int32_t result);
using LogFn = size_t(char* out, size_t size);

}  // namespace tavrin::app::fakes

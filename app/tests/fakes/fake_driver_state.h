// What both fake drivers share: the reply queue and the call log.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "fake_driver_control.h"

namespace tavrin::app::fakes {

struct Reply {
  uint8_t status = 0;
  std::vector<uint8_t> data;
};

struct State {
  std::mutex mutex;
  std::deque<Reply> replies;
  std::string log;
  int32_t openResult = 1;

  // The next queued reply; a driver without a script succeeds with nothing.
  Reply next() {
    if (replies.empty()) return {};
    Reply r = replies.front();
    replies.pop_front();
    return r;
  }
  void note(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

inline void State::note(const char* format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  log += line;
  log += '\n';
}

inline std::string hexOf(const uint8_t* data, size_t length) {
  std::string out;
  char byte[4];
  for (size_t i = 0; i < length; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
    out += byte;
  }
  return out;
}

// Copies the reply's bytes into a driver out buffer of `room` bytes.
inline uint8_t deliver(const Reply& r, uint8_t* out, uint8_t* length, size_t room) {
  size_t n = r.data.size() < room ? r.data.size() : room;
  if (out && n) std::memcpy(out, r.data.data(), n);
  if (length) *length = static_cast<uint8_t>(n);
  return r.status;
}

State& state();

}  // namespace tavrin::app::fakes

#define FAKE_DRIVER_CONTROL_EXPORTS                                                                 \
  namespace tavrin::app::fakes {                                                                    \
  State& state() {                                                                                  \
    static State s;                                                                                 \
    return s;                                                                                       \
  }                                                                                                 \
  }                                                                                                 \
  FAKE_DRIVER_EXPORT void FakeDriver_Reset() {                                                      \
    auto& s = tavrin::app::fakes::state();                                                          \
    std::lock_guard lock(s.mutex);                                                                  \
    s.replies.clear();                                                                              \
    s.log.clear();                                                                                  \
    s.openResult = 1;                                                                               \
  }                                                                                                 \
  FAKE_DRIVER_EXPORT void FakeDriver_Reply(uint8_t status, const uint8_t* data, uint8_t length) {   \
    auto& s = tavrin::app::fakes::state();                                                          \
    std::lock_guard lock(s.mutex);                                                                  \
    s.replies.push_back({status, std::vector<uint8_t>(data, data + length)});                       \
  }                                                                                                 \
  FAKE_DRIVER_EXPORT void FakeDriver_SetOpenResult(int32_t result) {                                \
    auto& s = tavrin::app::fakes::state();                                                          \
    std::lock_guard lock(s.mutex);                                                                  \
    s.openResult = result;                                                                          \
  }                                                                                                 \
  FAKE_DRIVER_EXPORT size_t FakeDriver_Log(char* out, size_t size) {                                \
    auto& s = tavrin::app::fakes::state();                                                          \
    std::lock_guard lock(s.mutex);                                                                  \
    if (out && size) {                                                                              \
      size_t n = s.log.size() < size - 1 ? s.log.size() : size - 1;                                 \
      std::memcpy(out, s.log.data(), n);                                                            \
      out[n] = '\0';                                                                                \
    }                                                                                               \
    return s.log.size();                                                                            \
  }

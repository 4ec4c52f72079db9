// A scripted communication layer: records every call's addressing and bytes
// word for word and answers from a script written beforehand, in order. A
// call the script does not expect fails the running test, and so does an
// answer left over.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "model/communication.h"
#include "testing/pty_pair.h"

namespace tavrin::model::testing {

class FakeCommunication : public Communication {
 public:
  ~FakeCommunication() override { EXPECT_TRUE(script_.empty()) << script_.size() << " answers left over"; }

  // The next call succeeds; a read delivers these bytes ("05 00 01").
  FakeCommunication& reply(const std::string& hexBytes = {}) {
    script_.push_back({true, tavrin::testing::unhex(hexBytes)});
    return *this;
  }
  // The next call fails (the link would have said why).
  FakeCommunication& fail() {
    script_.push_back({false, {}});
    return *this;
  }

  // One line per call:
  //   profibus read slot=0x02 index=0x15 length=3
  //   profibus write slot=0x02 index=0x15 data=05 00 01
  //   modbus read code=3 address=0x0110 count=4
  //   modbus write code=16 address=0x0110 data=00 01
  const std::vector<std::string>& calls() const { return calls_; }

  bool profibusRead(uint8_t slot, uint8_t index, uint8_t length, std::span<uint8_t> buffer, size_t& received) override {
    calls_.push_back("profibus read " + address(slot, index) + " length=" + std::to_string(length));
    return answer(buffer, received);
  }
  bool profibusWrite(uint8_t slot, uint8_t index, std::span<const uint8_t> data) override {
    calls_.push_back("profibus write " + address(slot, index) + " data=" + bytes(data));
    size_t ignored = 0;
    return answer({}, ignored);
  }
  bool modbusRead(uint8_t functionCode, uint16_t address, uint8_t byteCount, std::span<uint8_t> buffer,
                  size_t& received) override {
    calls_.push_back("modbus read " + modbus(functionCode, address) + " count=" + std::to_string(byteCount));
    return answer(buffer, received);
  }
  bool modbusWrite(uint8_t functionCode, uint16_t address, std::span<const uint8_t> data) override {
    calls_.push_back("modbus write " + modbus(functionCode, address) + " data=" + bytes(data));
    size_t ignored = 0;
    return answer({}, ignored);
  }

 private:
  struct Answer {
    bool ok = true;
    std::vector<uint8_t> bytes;
  };

  static std::string address(uint8_t slot, uint8_t index) {
    char s[32];
    std::snprintf(s, sizeof s, "slot=0x%02X index=0x%02X", slot, index);
    return s;
  }
  static std::string modbus(uint8_t code, uint16_t address) {
    char s[40];
    std::snprintf(s, sizeof s, "code=%u address=0x%04X", code, address);
    return s;
  }
  static std::string bytes(std::span<const uint8_t> data) {
    return tavrin::testing::hex(std::vector<uint8_t>(data.begin(), data.end()));
  }

  bool answer(std::span<uint8_t> buffer, size_t& received) {
    if (script_.empty()) {
      ADD_FAILURE() << "unexpected call: " << calls_.back();
      return false;
    }
    const Answer a = script_.front();
    script_.pop_front();
    // A link never hands back more than the caller's buffer holds.
    received = std::min(a.bytes.size(), buffer.size());
    std::copy_n(a.bytes.begin(), received, buffer.begin());
    return a.ok;
  }

  std::deque<Answer> script_;
  std::vector<std::string> calls_;
};

}  // namespace tavrin::model::testing

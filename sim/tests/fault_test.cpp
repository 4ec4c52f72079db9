#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "rig.h"

namespace tavrin::sim {
namespace {

using test::framed;
using test::hex;
using test::Rig;

constexpr std::string_view kModbus = R"(
[DEVICE a]
ADDRESS = 1
MANUFACTURER = 0x0017
holding.0 = 1 2 3 4 5 6 7 8 9 10 11 12 13
[DEVICE b]
ADDRESS = 2
holding.0 = 99
)";

constexpr std::string_view kProfibus = R"(
[DEVICE a]
ADDRESS = 5
IDENT_NUMBER = 0x0A31
SOFTWARE_REVISION = 1.0
slot.1.26 = f32:1.5 u8:0x80
slot.1.36 = f32:0.5
[DEVICE b]
ADDRESS = 6
IDENT_NUMBER = 0x0B00
slot.1.26 = f32:2.5 u8:0x80
)";

// The same requests are sent with and without the fault; only the replies
// to the requests it targets may differ, and they must differ as named.
using Check = std::function<void(const Transmission& plain, const std::vector<Transmission>& faulted)>;

struct Case {
  std::string fault;
  std::set<size_t> targets;
  Check check;
};

void runCases(std::string_view profile, Bus bus, const std::vector<std::string>& script, const std::vector<Case>& cases) {
  Rig plain(profile, bus);
  std::vector<Transmission> baseline;
  for (const auto& request : script) {
    auto t = plain.send(framed(request));
    ASSERT_EQ(t.size(), 1u) << request;
    baseline.push_back(t[0]);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    Rig rig(profile, bus, {c.fault});
    for (size_t i = 0; i < script.size(); ++i) {
      auto t = rig.send(framed(script[i]));
      if (c.targets.count(i)) {
        SCOPED_TRACE("request " + std::to_string(i));
        c.check(baseline[i], t);
        continue;
      }
      ASSERT_EQ(t.size(), 1u) << "request " << i << " is no target";
      EXPECT_EQ(Rig::onLine(t), Rig::onLine({baseline[i]})) << "request " << i << " is no target";
      EXPECT_EQ(t[0].segments.size(), 1u);
      EXPECT_EQ(t[0].segments[0].pauseMs, 0);
      EXPECT_FALSE(t[0].hangup);
    }
  }
}

Bytes single(const std::vector<Transmission>& t) {
  EXPECT_EQ(t.size(), 1u);
  EXPECT_EQ(t.empty() ? 0u : t[0].segments.size(), 1u);
  return t.empty() || t[0].segments.empty() ? Bytes{} : t[0].segments[0].bytes;
}

const Check kNoReply = [](const Transmission&, const std::vector<Transmission>& f) { EXPECT_TRUE(f.empty()); };

Check late(int ms) {
  return [ms](const Transmission& p, const std::vector<Transmission>& f) {
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].segments[0].pauseMs, ms);
    EXPECT_EQ(f[0].segments[0].bytes, p.segments[0].bytes);
  };
}

Check noise(Bytes bytes) {
  return [bytes](const Transmission& p, const std::vector<Transmission>& f) {
    Bytes expected = bytes;
    expected.insert(expected.end(), p.segments[0].bytes.begin(), p.segments[0].bytes.end());
    EXPECT_EQ(hex(single(f)), hex(expected));
  };
}

const Check kBadCrc = [](const Transmission& p, const std::vector<Transmission>& f) {
  Bytes expected = p.segments[0].bytes;
  expected[expected.size() - 1] ^= 0xFF;
  expected[expected.size() - 2] ^= 0xFF;
  EXPECT_EQ(hex(single(f)), hex(expected));
};

Check split(size_t at, int ms) {
  return [at, ms](const Transmission& p, const std::vector<Transmission>& f) {
    ASSERT_EQ(f.size(), 1u);
    ASSERT_EQ(f[0].segments.size(), 2u);
    const Bytes& whole = p.segments[0].bytes;
    size_t cut = at ? at : whole.size() / 2;
    EXPECT_EQ(f[0].segments[0].pauseMs, 0);
    EXPECT_EQ(hex(f[0].segments[0].bytes), hex(Bytes(whole.begin(), whole.begin() + cut)));
    EXPECT_EQ(f[0].segments[1].pauseMs, ms);
    EXPECT_EQ(hex(f[0].segments[1].bytes), hex(Bytes(whole.begin() + cut, whole.end())));
  };
}

Check hangup(size_t at) {
  return [at](const Transmission& p, const std::vector<Transmission>& f) {
    ASSERT_EQ(f.size(), 1u);
    EXPECT_TRUE(f[0].hangup);
    const Bytes& whole = p.segments[0].bytes;
    size_t cut = at == SIZE_MAX ? whole.size() / 2 : at;
    EXPECT_EQ(hex(single(f)), hex(Bytes(whole.begin(), whole.begin() + cut)));
  };
}

// The reply with byte `at` replaced and the CRC made to match.
Check restationed(size_t at, uint8_t value) {
  return [at, value](const Transmission& p, const std::vector<Transmission>& f) {
    Bytes expected(p.segments[0].bytes.begin(), p.segments[0].bytes.end() - 2);
    expected[at] = value;
    appendCrc(expected);
    EXPECT_EQ(hex(single(f)), hex(expected));
  };
}

Check replacedBy(std::function<std::string(const Bytes& plain)> expected) {
  return [expected](const Transmission& p, const std::vector<Transmission>& f) {
    EXPECT_EQ(hex(single(f)), expected(p.segments[0].bytes));
  };
}

TEST(FaultTest, ModbusFaultsActOnTheirTargetsOnly) {
  const std::vector<std::string> script = {
      "01 03 00 00 00 02",  // 0
      "01 04 80 00 00 04",  // 1
      "02 03 00 00 00 01",  // 2
      "01 03 00 00 00 02",  // 3
      "01 06 00 0C 00 2A",  // 4
      "01 03 00 02 00 02",  // 5
  };
  auto exception = [](uint8_t function, uint8_t code) {
    return [=](const Bytes&) { return hex(framed(hex(Bytes{1, static_cast<uint8_t>(function | 0x80), code}))); };
  };
  runCases(kModbus, Bus::Modbus, script,
           {
               {"no-reply,device=2", {2}, kNoReply},
               {"late=250,function=4", {1}, late(250)},
               {"noise=AA55,register=1", {0, 3}, noise({0xAA, 0x55})},
               {"noise,device=2", {2}, noise({0xFF, 0xFE, 0xFD})},
               {"bad-crc,after=1,count=1", {1}, kBadCrc},
               {"split=40,at=3,device=1,after=2", {3, 4, 5}, split(3, 40)},
               {"split=15,function=4", {1}, split(0, 15)},
               {"other-station=9,device=2", {2}, restationed(0, 9)},
               {"exception=4,function=6", {4}, replacedBy(exception(6, 4))},
               {"exception=2,register=3,count=1", {5}, replacedBy(exception(3, 2))},
               {"hangup,register=0x8001", {1}, hangup(SIZE_MAX)},
               {"hangup,at=0,device=2", {2}, hangup(0)},
           });
}

TEST(FaultTest, ProfibusFaultsActOnTheirTargetsOnly) {
  const std::vector<std::string> script = {
      "10 05 01 49",                                     // 0 status
      "68 09 09 68 85 81 44 00 00 5E 00 18 10",          // 1 read 0/24
      "68 05 05 68 85 81 4D 3C 3E",                      // 2 diagnosis
      "68 09 09 68 86 81 44 00 00 5E 01 1A 05",          // 3 read at 6
      "68 0D 0D 68 85 81 44 00 00 5F 01 24 04 3F 80 00 00",  // 4 write 1/36
      "68 09 09 68 85 81 44 00 00 5E 01 24 04",          // 5 read 1/36
  };
  auto negative = [](uint8_t decode, uint8_t code1, uint8_t code2) {
    return [=](const Bytes& plain) {
      Bytes r(plain.begin(), plain.begin() + 9);
      r[1] = r[2] = 9;
      for (uint8_t b : {static_cast<uint8_t>(plain[9] | 0x80), decode, code1, code2}) r.push_back(b);
      appendCrc(r);
      return hex(r);
    };
  };
  runCases(kProfibus, Bus::Profibus, script,
           {
               {"no-reply,service=status", {0}, kNoReply},
               {"late=100,after=5", {5}, late(100)},
               {"noise,device=6", {3}, noise({0xFF, 0xFE, 0xFD})},
               {"bad-crc,slot=1", {3, 4, 5}, kBadCrc},
               {"split=30,service=diagnosis", {2}, split(0, 30)},
               {"other-station=7,device=5,service=diagnosis", {2}, restationed(5, 0x87)},
               {"other-station=7,service=status", {0}, restationed(2, 7)},
               {"negative=B6,index=36", {4, 5}, replacedBy(negative(0x80, 0xB6, 0x00))},
               {"negative=80A901,service=read,device=6", {3}, replacedBy(negative(0x80, 0xA9, 0x01))},
               {"hangup,at=0,index=24", {1}, hangup(0)},
               {"hangup,service=write", {4}, hangup(SIZE_MAX)},
           });
}

TEST(FaultTest, RefusingFaultsLeaveTheDeviceUntouched) {
  Rig modbus(kModbus, Bus::Modbus, {"exception=6,count=1", "no-reply,after=1,count=1"});
  EXPECT_EQ(modbus.ask("01 06 00 00 00 2A"), hex(framed("01 86 06")));
  EXPECT_EQ(modbus.ask("01 06 00 00 00 2B"), "") << "the request was lost";
  EXPECT_EQ(modbus.ask("01 03 00 00 00 01"), hex(framed("01 03 02 00 01")));

  Rig pa(kProfibus, Bus::Profibus, {"negative=B5,service=write,count=1", "hangup,service=write"});
  pa.ask("68 0D 0D 68 85 81 44 00 00 5F 01 24 04 3F 80 00 00");
  EXPECT_EQ(pa.ask("68 09 09 68 85 81 44 00 00 5E 01 24 04"), hex(framed("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 00 00 00")));
  pa.ask("68 0D 0D 68 85 81 44 00 00 5F 01 24 04 3F 80 00 00");
  EXPECT_EQ(pa.ask("68 09 09 68 85 81 44 00 00 5E 01 24 04"), hex(framed("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 80 00 00")))
      << "a hang-up cuts the reply, not the write";
}

TEST(FaultTest, FaultTextsAreCheckedForTheirBus) {
  std::string why;
  for (std::string_view bad : {"", "late", "late=x", "late=-1", "no-reply=3", "split", "other-station=300", "exception=0",
                               "negative=B6", "noise=XYZ", "hangup,at=2,slot=1", "bad-crc,count=0", "bad-crc,device",
                               "bad-crc,colour=red", "drop"}) {
    EXPECT_FALSE(parseFault(bad, Bus::Modbus, &why).has_value()) << bad;
  }
  for (std::string_view bad : {"exception=2", "negative=B6B6", "late=5,register=3", "late=5,function=3",
                               "negative=B6,service=status", "late=5,service=sleep"}) {
    EXPECT_FALSE(parseFault(bad, Bus::Profibus, &why).has_value()) << bad;
  }
  auto f = parseFault("late=300, device=5 , after=2,count=1", Bus::Profibus, &why);
  ASSERT_TRUE(f) << why;
  EXPECT_EQ(f->milliseconds, 300);
  EXPECT_EQ(f->device, 5);
  EXPECT_EQ(f->after, 2u);
  EXPECT_EQ(f->count, 1u);
}

}  // namespace
}  // namespace tavrin::sim

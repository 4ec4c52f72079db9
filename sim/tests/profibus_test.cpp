#include <gtest/gtest.h>

#include "rig.h"

namespace tavrin::sim {
namespace {

using test::framed;
using test::hex;
using test::Rig;
using test::withCrc;

constexpr std::string_view kAdapter = R"(
[DEVICE one]
ADDRESS = 5
IDENT_NUMBER = 0x0A31
MANUFACTURER = 0x0172
DEVICE_TYPE = 0x0A31
REVISION = 0x01 0x02
SOFTWARE_REVISION = 3.02.017
TAG = PT-1
DEVICE_ID = PTX 3100
SERIAL_NUMBER = SN-5
slot.1.16 = hex: 00020101 00000000 0000 4002 0302 00 0030 0000 01
slot.1.26 = f32:1.5 u8:0x80
slot.1.36 = f32: 0.5
slot.1.40 = 1 2 3 4
range.slot.1.36 = f32 0 32
READONLY = slot.1.40

[DEVICE two]
ADDRESS = 6
IDENT_NUMBER = 0x0B00
)";

// A DPV1 read telegram for the station.
std::string read(int station, int slot, int index, int length) {
  char b[64];
  std::snprintf(b, sizeof b, "68 09 09 68 %02X 81 44 00 00 5E %02X %02X %02X", station | 0x80, slot, index, length);
  return b;
}

std::string write(int station, int slot, int index, const std::string& data) {
  Bytes d = test::unhex(data);
  char b[64];
  std::snprintf(b, sizeof b, "68 %02zX %02zX 68 %02X 81 44 00 00 5F %02X %02X %02zX ", d.size() + 9, d.size() + 9, station | 0x80,
                slot, index, d.size());
  return std::string(b) + data;
}

TEST(PaAdapterTest, AnswersTheDriversTelegrams) {
  Rig rig(kAdapter, Bus::Profibus);
  EXPECT_EQ(hex(framed("10 05 01 49")), "10 05 01 49 D4 83");
  EXPECT_EQ(rig.ask("10 05 01 49"), "10 01 05 00 56 74");
  EXPECT_EQ(hex(framed(read(5, 1, 0x10, 20))), "68 09 09 68 85 81 44 00 00 5E 01 10 14 F1 0E");
  EXPECT_EQ(rig.ask(read(5, 1, 0x10, 20)),
            withCrc("68 1D 1D 68 81 85 08 00 00 5E 01 10 14 00 02 01 01 00 00 00 00 00 00 40 02 03 02 00 00 30 00 00 01"));
  EXPECT_EQ(rig.ask("68 05 05 68 85 81 4D 3C 3E"), withCrc("68 0B 0B 68 81 85 08 3E 3C 00 05 00 FF 0A 31"))
      << "diagnosis with the ident number in bytes 4 and 5";
  EXPECT_EQ(rig.ask("10 07 01 49"), "") << "nobody at 7";
  EXPECT_EQ(rig.ask("10 06 01 49"), withCrc("10 01 06 00"));
}

TEST(PaAdapterTest, IdentificationSitsWhereTheProgramReadsIt) {
  Rig rig(kAdapter, Bus::Profibus);
  auto data = [&](int slot, int index, int length) {
    std::string r = rig.ask(read(5, slot, index, length));
    Bytes b = test::unhex(r);
    if (b.size() < 15 || b[9] != 0x5E) return std::string("refused: ") + r;
    EXPECT_EQ(b[12], b[1] - 9) << "length byte";
    return hex(Bytes(b.begin() + 13, b.end() - 2));
  };
  EXPECT_EQ(data(0, 24, 16), hex(Bytes{'3', '.', '0', '2', '.', '0', '1', '7', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}));
  EXPECT_EQ(data(0, 79, 8), "01 72 0A 31 00 00 01 02");
  EXPECT_EQ(data(0, 26, 2), "01 72");
  EXPECT_EQ(data(0, 56, 2), "0A 31");
  EXPECT_EQ(data(0, 28, 16).substr(0, 14), "53 4E 2D 35 20");
  EXPECT_EQ(data(0, 27, 16).size(), 16u * 3 - 1);
  EXPECT_EQ(data(0, 18, 32).size(), 32u * 3 - 1);
  EXPECT_EQ(data(1, 1, 28), "01 04 00 01 01 05 00 01 01 06 00 02 00 10 00 30 01 5C 00 58 01 10 00 37 02 10 00 2E");
  EXPECT_EQ(data(0, 24, 4), "33 2E 30 32") << "a shorter read gets the start";
  EXPECT_EQ(data(0, 79, 200), "01 72 0A 31 00 00 01 02") << "a longer read gets the entry";
  // A device with nothing but its ident number still identifies itself.
  EXPECT_EQ(test::unhex(rig.ask(read(6, 0, 24, 16))).size(), 31u);
}

TEST(PaAdapterTest, NegativeRepliesCarryTheErrorBytes) {
  Rig rig(kAdapter, Bus::Profibus);
  EXPECT_EQ(rig.ask(read(5, 1, 99, 4)), withCrc("68 09 09 68 81 85 08 00 00 DE 80 B0 00")) << "unknown index";
  EXPECT_EQ(rig.ask(read(5, 9, 1, 4)), withCrc("68 09 09 68 81 85 08 00 00 DE 80 B2 00")) << "unknown slot";
  EXPECT_EQ(rig.ask(write(5, 1, 99, "00")), withCrc("68 09 09 68 81 85 08 00 00 DF 80 B0 00"));
  EXPECT_EQ(rig.ask(write(5, 1, 36, "00 00")), withCrc("68 09 09 68 81 85 08 00 00 DF 80 B1 00")) << "wrong length";
  EXPECT_EQ(rig.ask(write(5, 1, 40, "01 01 01 01")), withCrc("68 09 09 68 81 85 08 00 00 DF 80 B6 00")) << "read-only";
  EXPECT_EQ(rig.ask(write(5, 0, 24, "00")), withCrc("68 09 09 68 81 85 08 00 00 DF 80 B6 00")) << "software revision";
  EXPECT_EQ(rig.ask(write(5, 1, 36, "42 20 00 00")), withCrc("68 09 09 68 81 85 08 00 00 DF 80 B7 00")) << "40.0 > 32";
  EXPECT_EQ(rig.ask(read(5, 1, 36, 4)), withCrc("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 3F 00 00 00")) << "unchanged";
}

TEST(PaAdapterTest, WritesAreAcknowledgedAndStored) {
  Rig rig(kAdapter, Bus::Profibus);
  EXPECT_EQ(rig.ask(write(5, 1, 36, "41 F0 00 00")), withCrc("68 09 09 68 81 85 08 00 00 5F 01 24 04"));
  EXPECT_EQ(rig.ask(read(5, 1, 36, 4)), withCrc("68 0D 0D 68 81 85 08 00 00 5E 01 24 04 41 F0 00 00"));
  std::string tag = "4E 45 57 20 54 41 47 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20 20";
  EXPECT_EQ(rig.ask(write(5, 0, 18, tag)), withCrc("68 09 09 68 81 85 08 00 00 5F 00 12 20")) << "the tag is writable";
  // A telegram whose length byte contradicts its frame is no request.
  EXPECT_EQ(rig.ask("68 0B 0B 68 85 81 44 00 00 5F 01 24 04 41 F0"), "");
}

TEST(PaAdapterTest, SetSlaveAddressMovesTheDevice) {
  Rig rig(kAdapter, Bus::Profibus);
  EXPECT_EQ(rig.ask("68 09 09 68 85 81 4D 37 3E 06 0A 31 00"), "") << "6 is taken";
  EXPECT_EQ(rig.ask("68 09 09 68 85 81 4D 37 3E 09 0A 32 00"), "") << "wrong ident number";
  EXPECT_EQ(rig.ask("68 09 09 68 85 81 4D 37 3E 7E 0A 31 00"), "") << "126 is no station address";
  EXPECT_EQ(rig.ask("68 09 09 68 85 81 4D 37 3E 09 0A 31 00"), "E5");
  EXPECT_EQ(rig.ask("10 05 01 49"), "");
  EXPECT_EQ(rig.ask("10 09 01 49"), withCrc("10 01 09 00"));
  EXPECT_EQ(rig.ask("68 05 05 68 89 81 4D 3C 3E"), withCrc("68 0B 0B 68 81 89 08 3E 3C 00 05 00 FF 0A 31"));

  // The last byte asks to forbid further changes.
  EXPECT_EQ(rig.ask("68 09 09 68 89 81 4D 37 3E 0A 0A 31 01"), "E5");
  EXPECT_EQ(rig.ask("68 09 09 68 8A 81 4D 37 3E 0B 0A 31 00"), "");
  EXPECT_EQ(rig.device().address(), 10);
}

TEST(PaAdapterTest, TelegramsInNoiseAndPieces) {
  Rig rig(kAdapter, Bus::Profibus);
  Bytes stream = {0x00, 0x68, 0x10, 0xE5};
  Bytes status = framed("10 05 01 49");
  Bytes readOut = framed(read(5, 1, 26, 5));
  stream.insert(stream.end(), status.begin(), status.end());
  stream.insert(stream.end(), readOut.begin(), readOut.end() - 3);
  auto first = rig.send(stream);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(Rig::onLine(first), "10 01 05 00 56 74");
  EXPECT_EQ(Rig::onLine(rig.send(Bytes(readOut.end() - 3, readOut.end()))),
            withCrc("68 0E 0E 68 81 85 08 00 00 5E 01 1A 05 3F C0 00 00 80"));
}

}  // namespace
}  // namespace tavrin::sim

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "rig.h"
#include "sim/dynamics.h"
#include "sim/values.h"

namespace tavrin::sim {
namespace {

using test::hex;
using test::unhex;

TEST(Crc16Test, KnownVectors) {
  EXPECT_EQ(crc16(unhex("01 03 00 00 00 02")), 0x0BC4);
  EXPECT_EQ(crc16(unhex("01 03 04 00 0A 00 0B")), 0xF69B);
  EXPECT_EQ(crc16(unhex("10 05 01 49")), 0x83D4);
  EXPECT_EQ(crc16(unhex("68 09 09 68 85 81 44 00 00 5E 01 10 14")), 0x0EF1);
  std::string ascii = "123456789";
  EXPECT_EQ(crc16(Bytes(ascii.begin(), ascii.end())), 0x4B37);

  Bytes frame = unhex("01 03 00 00 00 02");
  appendCrc(frame);
  EXPECT_EQ(hex(frame), "01 03 00 00 00 02 C4 0B") << "low byte first";
  EXPECT_TRUE(crcMatches(frame));
  frame[2] ^= 1;
  EXPECT_FALSE(crcMatches(frame));
  EXPECT_FALSE(crcMatches(unhex("FF FF"))) << "two bytes are never a frame";
  EXPECT_FALSE(crcMatches(Bytes{}));
}

TEST(ValuesTest, ItemsBecomeBigEndianBytes) {
  std::string why;
  auto bytes = [&](std::string_view text, Encoding type = Encoding::U8) {
    auto b = parseBytes(text, type, &why);
    return b ? hex(*b) : "error: " + why;
  };
  EXPECT_EQ(bytes("1 2 0x10"), "01 02 10");
  EXPECT_EQ(bytes("1, 0xABCD", Encoding::U16), "00 01 AB CD");
  EXPECT_EQ(bytes("u16: 1133 f32:1.5"), "04 6D 3F C0 00 00");
  EXPECT_EQ(bytes("i16: -2 i8:-1 u32:0x01020304"), "FF FE FF 01 02 03 04");
  EXPECT_EQ(bytes("hex: 0A0B 0c"), "0A 0B 0C");
  EXPECT_EQ(bytes("f64: -2"), "C0 00 00 00 00 00 00 00");
  EXPECT_EQ(bytes("u8:1 text4:ab"), "01 61 62 20 20") << "texts are padded with blanks";
  EXPECT_EQ(bytes("text: a, b"), "20 61 2C 20 62") << "a text takes the rest verbatim";
  EXPECT_EQ(bytes("i16: 0xFFFF"), "FF FF") << "signed types accept the bit pattern";

  for (std::string_view bad : {"256", "-1", "u16: 65536", "i8: -129", "hex: ABC", "hex: GG", "q8: 1", "1.5", "text2:abc",
                               "", "f32: x", "textual 1"}) {
    EXPECT_FALSE(parseBytes(bad, Encoding::U8, &why).has_value()) << bad;
    EXPECT_FALSE(why.empty());
  }
}

TEST(ValuesTest, EncodingsRoundAndHoldTheirLimits) {
  uint8_t b[8];
  encodeValue(Encoding::U16, 70000, b);
  EXPECT_EQ(decodeValue(Encoding::U16, b), 65535);
  encodeValue(Encoding::I16, -40000, b);
  EXPECT_EQ(decodeValue(Encoding::I16, b), -32768);
  encodeValue(Encoding::U8, 2.6, b);
  EXPECT_EQ(b[0], 3);
  encodeValue(Encoding::U32, -5, b);
  EXPECT_EQ(decodeValue(Encoding::U32, b), 0);
  encodeValue(Encoding::I32, NAN, b);
  EXPECT_EQ(decodeValue(Encoding::I32, b), 0);
  encodeValue(Encoding::F32, 1e300, b);
  EXPECT_EQ(test::hex(Bytes(b, b + 4)), "7F 80 00 00") << "beyond the float range: infinity";
  encodeValue(Encoding::F32, -1e300, b);
  EXPECT_EQ(test::hex(Bytes(b, b + 4)), "FF 80 00 00");
  EXPECT_FALSE(parseInteger("0xFFFFFFFFFFFFFFFFFF").has_value());
  encodeValue(Encoding::F32, 101.325, b);
  EXPECT_FLOAT_EQ(static_cast<float>(decodeValue(Encoding::F32, b)), 101.325f);
}

TEST(ValuesTest, SavedTextReadsBackAsTheSameBytes) {
  for (std::string_view text : {"text16:PT 100", "text8:  lead", "hex: 00 FF 20", "hex: 41 42 00", "text3:a,b"}) {
    std::string why;
    auto b = parseBytes(text, Encoding::U8, &why);
    ASSERT_TRUE(b) << text << ": " << why;
    auto again = parseBytes(formatBytes(*b), Encoding::U8, &why);
    ASSERT_TRUE(again) << formatBytes(*b) << ": " << why;
    EXPECT_EQ(*again, *b) << text;
  }
  EXPECT_EQ(formatBytes(unhex("20 20")), "hex: 2020") << "blanks alone are no text";
  auto regs = parseBytes(formatRegisters(unhex("12 34 00 01")), Encoding::U16, nullptr);
  EXPECT_EQ(hex(*regs), "12 34 00 01");
}

TEST(DynamicsTest, WaveformsFollowTheirShape) {
  std::string why;
  std::minstd_rand rng(1);
  auto ramp = parseDynamic("u16 ramp from=0 to=100 period=10", &why);
  ASSERT_TRUE(ramp) << why;
  EXPECT_EQ(ramp->encoding, Encoding::U16);
  EXPECT_DOUBLE_EQ(ramp->wave.at(2.5, rng), 25);
  EXPECT_DOUBLE_EQ(ramp->wave.at(12.5, rng), 25) << "the ramp starts again each period";

  auto sine = parseDynamic("sine mean=10 amplitude=2 period=4 phase=90 offset=1", &why);
  ASSERT_TRUE(sine) << why;
  EXPECT_EQ(sine->encoding, Encoding::F32);
  EXPECT_EQ(sine->offset, 1u);
  EXPECT_EQ(sine->end(), 5u);
  EXPECT_NEAR(sine->wave.at(0, rng), 12, 1e-9);
  EXPECT_NEAR(sine->wave.at(2, rng), 8, 1e-9);

  auto noisy = parseDynamic("f32 noise mean=5 amplitude=0.5", &why);
  ASSERT_TRUE(noisy) << why;
  double low = 10, high = 0;
  for (int i = 0; i < 200; ++i) {
    double v = noisy->wave.at(i, rng);
    low = std::min(low, v);
    high = std::max(high, v);
  }
  EXPECT_GE(low, 4.5);
  EXPECT_LE(high, 5.5);
  EXPECT_LT(low, 4.9) << "noise moves";
  EXPECT_GT(high, 5.1);

  auto constant = parseDynamic("i16 constant value=-3 noise=0", &why);
  ASSERT_TRUE(constant) << why;
  EXPECT_EQ(constant->wave.at(99, rng), -3);

  for (std::string_view bad : {"", "f32", "f32 square", "sine period=0", "constant mean=1", "ramp from=x", "sine offset=-1",
                               "noise amplitude"}) {
    EXPECT_FALSE(parseDynamic(bad, &why).has_value()) << bad;
  }
}

TEST(DynamicsTest, LimitsCheckTheValueAtTheirOffset) {
  std::string why;
  auto limit = parseLimit("f32 0 32 offset=2", Encoding::U8, &why);
  ASSERT_TRUE(limit) << why;
  Bytes b(6, 0);
  encodeValue(Encoding::F32, 31.5, b.data() + 2);
  EXPECT_TRUE(limit->accepts(b));
  encodeValue(Encoding::F32, 32.5, b.data() + 2);
  EXPECT_FALSE(limit->accepts(b));
  encodeValue(Encoding::F32, NAN, b.data() + 2);
  EXPECT_FALSE(limit->accepts(b)) << "NaN is in no range";
  EXPECT_FALSE(limit->accepts(Bytes(5, 0))) << "too short";

  auto plain = parseLimit("0 1", Encoding::U16, &why);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->encoding, Encoding::U16);
  for (std::string_view bad : {"1", "2 1", "0 1 2", "f32 0 1 size=2", ""})
    EXPECT_FALSE(parseLimit(bad, Encoding::U8, &why).has_value()) << bad;
}

}  // namespace
}  // namespace tavrin::sim

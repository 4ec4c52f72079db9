#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "engine_fixture.h"
#include "methods/value.h"

namespace tavrin::methods::testing {
namespace {

// Every source type converted to every type code, with values that tell
// sign extension from zero extension, truncation from rounding, and a slot
// left alone from one rewritten.
TEST(ConversionTest, EveryTypeCodeToEveryTypeCode) {
  struct Row {
    Entry from;
    std::vector<std::string> to;  // char, uchar, short, ushort, int, uint, float, double
  };
  const Row rows[] = {
      {Entry::integer(TypeCode::Char, 0xFD),
       {"char -3", "uchar 253", "short -3", "ushort 65533", "int -3", "uint 4294967293", "float -3", "double -3"}},
      {Entry::integer(TypeCode::UnsignedChar, 200),
       {"char -56", "uchar 200", "short 200", "ushort 200", "int 200", "uint 200", "float 200", "double 200"}},
      {Entry::integer(TypeCode::Short, 0xFED4),
       {"char -44", "uchar 212", "short -300", "ushort 65236", "int -300", "uint 4294966996", "float -300",
        "double -300"}},
      {Entry::integer(TypeCode::UnsignedShort, 60000),
       {"char 96", "uchar 96", "short -5536", "ushort 60000", "int 60000", "uint 60000", "float 60000",
        "double 60000"}},
      {Entry::ofInt(-70000),
       {"char -112", "uchar 144", "short -4464", "ushort 61072", "int -70000", "uint 4294897296", "float -70000",
        "double -70000"}},
      {Entry::ofUnsigned(4000000000u),
       {"char 0", "uchar 0", "short 10240", "ushort 10240", "int -294967296", "uint 4000000000", "float 4e+09",
        "double 4e+09"}},
      {Entry::ofFloat(-2.75f),
       {"char -2", "uchar 254", "short -2", "ushort 65534", "int -2", "uint 4294967294", "float -2.75",
        "double -2.75"}},
      {Entry::ofDouble(65537.9),
       {"char 1", "uchar 1", "short 1", "ushort 1", "int 65537", "uint 65537", "float 65537.9", "double 65537.9"}},
  };
  for (const Row& row : rows) {
    for (int32_t to = 0; to < 8; ++to) {
      Entry e = row.from;
      ASSERT_TRUE(convert(e, to));
      EXPECT_EQ(show(e), row.to[static_cast<std::size_t>(to)]) << show(row.from) << " to type " << to;
    }
  }
}

TEST(ConversionTest, CodesOutsideTheTableAreRefusedAndOutOfRangeFloatsStayDefined) {
  Entry e = Entry::ofInt(5);
  EXPECT_FALSE(convert(e, 8));
  EXPECT_FALSE(convert(e, -1));
  e.type = 9;
  EXPECT_FALSE(convert(e, 4));
  EXPECT_EQ(e.bits, 5u);

  // Conversions the language leaves undefined give fixed results here.
  Entry huge = Entry::ofDouble(1e300);
  ASSERT_TRUE(convert(huge, +TypeCode::Float));
  EXPECT_TRUE(std::isinf(huge.asFloat()));
  Entry nan = Entry::ofDouble(std::nan(""));
  ASSERT_TRUE(convert(nan, +TypeCode::Int));
  EXPECT_EQ(show(nan), "int 0");
  Entry big = Entry::ofFloat(3e9f);
  ASSERT_TRUE(convert(big, +TypeCode::UnsignedInt));
  EXPECT_EQ(show(big), "uint 3000000000");
}

TEST(ValueTest, LocalsAreStoredAndReadAtTheirWidthLittleEndian) {
  std::byte bytes[8] = {};
  storeValue(bytes, Entry::integer(TypeCode::Short, 0x12345678));
  EXPECT_EQ(bytes[0], std::byte{0x78});
  EXPECT_EQ(bytes[1], std::byte{0x56});
  EXPECT_EQ(bytes[2], std::byte{0});  // only the type's width is written
  EXPECT_EQ(show(loadValue(bytes, +TypeCode::Short)), "short 22136");
  storeValue(bytes, Entry::ofFloat(1.0f));
  EXPECT_EQ(std::bit_cast<uint32_t>(std::array{bytes[0], bytes[1], bytes[2], bytes[3]}), 0x3F800000u);
}

TEST(ValueTest, AnAddressSeesOnlyTheRestOfItsStorage) {
  std::byte storage[6] = {};
  const Entry a = Entry::address(storage, 4, +TypeCode::Short);
  EXPECT_EQ(a.addressed().size(), 2u);
  EXPECT_EQ(a.addressed().data(), storage + 4);
  Entry outside = a;
  outside.bits = 6;
  EXPECT_TRUE(outside.addressed().empty());
  Entry notAnAddress = a;
  notAnAddress.kind = kind::Value;
  EXPECT_TRUE(notAnAddress.addressed().empty());
}

}  // namespace
}  // namespace tavrin::methods::testing

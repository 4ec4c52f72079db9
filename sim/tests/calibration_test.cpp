#include <gtest/gtest.h>

#include <cmath>

#include "rig.h"
#include "sim/calibration.h"
#include "sim/values.h"

namespace tavrin::sim {
namespace {

using test::Rig;

// Raw pressure 10 and raw temperature 30, constant, so that every step of
// the measurement can be followed by hand.
constexpr std::string_view kTransmitter = R"(
[DEVICE pt]
ADDRESS = 3
IDENT_NUMBER = 0x0A31
slot.1.26 = f32:0 u8:0x80
CALIBRATION = 1
OUTPUT = slot.1.26
dynamic.slot.3.37 = f32 constant value=10
dynamic.slot.3.31 = f32 constant value=30
)";

Bytes floats(std::initializer_list<double> values, size_t count) {
  Bytes out(count * 4, 0);
  size_t i = 0;
  for (double v : values) encodeValue(Encoding::F32, v, out.data() + 4 * i++);
  return out;
}

Bytes u16(uint16_t v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }

const Bytes kAccessCode = {0x5A, 0x3C, 0x9E, 0x17};

class CalibrationTest : public ::testing::Test {
 protected:
  Rig rig{kTransmitter, Bus::Profibus};
  PaTransmitter& pt = rig.device();

  std::optional<DpvError> put(uint8_t index, const Bytes& data) { return pt.write(3, index, data, 0); }
  double value(uint8_t slot, uint8_t index) {
    auto r = pt.read(slot, index, 4, 0);
    return decodeValue(Encoding::F32, std::get<Bytes>(r).data());
  }
  double output() { return value(1, 26); }
  void linearize(std::initializer_list<double> collected, std::initializer_list<double> reference, uint8_t count,
                 std::optional<DpvError> expectedEnd = std::nullopt) {
    ASSERT_EQ(put(24, kAccessCode), std::nullopt);
    ASSERT_EQ(put(28, u16(0x0101)), std::nullopt);
    ASSERT_EQ(put(34, {count}), std::nullopt);
    ASSERT_EQ(put(35, floats(collected, 21)), std::nullopt);
    ASSERT_EQ(put(36, floats(reference, 21)), std::nullopt);
    ASSERT_EQ(put(28, u16(0x0103)), expectedEnd);
  }
};

TEST(TrimMathTest, InterpolationThroughPointsAndBeyond) {
  std::vector<double> x{0, 10, 20}, y{0, 9, 20};
  EXPECT_DOUBLE_EQ(interpolate(x, y, 5), 4.5);
  EXPECT_DOUBLE_EQ(interpolate(x, y, 15), 14.5);
  EXPECT_DOUBLE_EQ(interpolate(x, y, -10), -9) << "first segment continued";
  EXPECT_DOUBLE_EQ(interpolate(x, y, 30), 31) << "last segment continued";
  std::vector<double> down{20, 10, 0};
  EXPECT_DOUBLE_EQ(interpolate(down, y, 15), 4.5) << "falling points";
  std::vector<double> one{3}, oneRef{5};
  EXPECT_DOUBLE_EQ(interpolate(one, oneRef, 10), 12) << "one point shifts";
  EXPECT_TRUE(strictlyMonotonic(std::vector<double>{3, 2, 1}));
  EXPECT_FALSE(strictlyMonotonic(std::vector<double>{1, 2, 2}));
  EXPECT_FALSE(strictlyMonotonic(std::vector<double>{1, NAN, 3}));
}

TEST_F(CalibrationTest, FactoryStateMeasuresTheRawValue) {
  EXPECT_DOUBLE_EQ(output(), 10);
  EXPECT_DOUBLE_EQ(value(3, 29), 10);
  EXPECT_EQ(std::get<Bytes>(pt.read(1, 26, 5, 0))[4], 0x80) << "the status byte stays";
  EXPECT_EQ(std::get<Bytes>(pt.read(3, 24, 4, 0)), Bytes(4, 0)) << "the access code never reads back";
  EXPECT_EQ(pt.write(1, 26, floats({1}, 1), 0), (DpvError{0x80, dpv::kAccessDenied, 0})) << "the output is measured";
  EXPECT_EQ(put(29, floats({1}, 1)), (DpvError{0x80, dpv::kAccessDenied, 0}));
  EXPECT_EQ(put(37, floats({1}, 1)), (DpvError{0x80, dpv::kAccessDenied, 0}));
}

TEST_F(CalibrationTest, WritesWithoutTheAccessCodeAreRefused) {
  const DpvError denied{0x80, dpv::kAccessDenied, 0};
  EXPECT_EQ(put(28, u16(0x0101)), denied);
  EXPECT_EQ(put(34, {2}), denied);
  EXPECT_EQ(put(46, floats({}, 5)), denied);
  EXPECT_EQ(put(24, {0x5A, 0x3C, 0x9E, 0x18}), denied) << "wrong code";
  EXPECT_EQ(put(28, u16(0x0101)), denied);
  EXPECT_EQ(put(24, {0x5A, 0x3C}), (DpvError{0x80, dpv::kWriteLength, 0}));
  EXPECT_EQ(put(24, kAccessCode), std::nullopt);
  EXPECT_EQ(put(34, {2}), (DpvError{0x80, dpv::kStateConflict, 0})) << "no download open";
  EXPECT_EQ(put(28, u16(0x0103)), (DpvError{0x80, dpv::kStateConflict, 0}));
  EXPECT_EQ(put(28, u16(0x0777)), (DpvError{0x80, dpv::kInvalidParameter, 0}));
  EXPECT_EQ(put(28, u16(0x0101)), std::nullopt);
  EXPECT_EQ(put(39, {2}), (DpvError{0x80, dpv::kStateConflict, 0})) << "compensation data in a linearization";
  EXPECT_EQ(put(35, floats({}, 20)), (DpvError{0x80, dpv::kWriteLength, 0}));
}

TEST_F(CalibrationTest, AFinishedLinearizationChangesTheMeasurement) {
  linearize({0, 10, 20}, {0, 9, 20}, 3);
  EXPECT_DOUBLE_EQ(output(), 9);
  EXPECT_DOUBLE_EQ(value(3, 29), 10) << "the linearization comes after index 29";
  EXPECT_EQ(put(34, {3}), (DpvError{0x80, dpv::kAccessDenied, 0})) << "locked again";
  EXPECT_EQ(std::get<Bytes>(pt.read(3, 34, 1, 0)), Bytes{3}) << "the table reads back";
  EXPECT_EQ(std::get<Bytes>(pt.read(3, 28, 2, 0)), u16(0x0103));
  // Only the first count points count; what follows may be anything.
  linearize({5, 15, 99, 1}, {0, 20, 0, 0}, 2);
  EXPECT_DOUBLE_EQ(output(), 10);
}

TEST_F(CalibrationTest, ARefusedLinearizationKeepsTheOldOne) {
  linearize({0, 10, 20}, {0, 9, 20}, 3);
  const DpvError invalid{0x80, dpv::kInvalidParameter, 0};
  linearize({1, 2, 2}, {0, 1, 2}, 3, invalid);
  EXPECT_DOUBLE_EQ(output(), 9);
  EXPECT_EQ(std::get<Bytes>(pt.read(3, 35, 84, 0)), floats({0, 10, 20}, 21)) << "tables restored";
  linearize({3, 2, 1}, {0, 5, 5}, 3, invalid);
  linearize({3, 2}, {0, 5}, 1, invalid);
  linearize({3, 2}, {0, 5}, 22, invalid);
  EXPECT_DOUBLE_EQ(output(), 9);
  linearize({3, 2, 1}, {0, 5, 9}, 3);
  EXPECT_DOUBLE_EQ(output(), -35) << "falling collected values: 10 lies beyond the first point";
}

TEST_F(CalibrationTest, ADownloadCanStartAgainAfterAFailureHalfWay) {
  ASSERT_EQ(put(24, kAccessCode), std::nullopt);
  ASSERT_EQ(put(28, u16(0x0101)), std::nullopt);
  ASSERT_EQ(put(34, {7}), std::nullopt);
  linearize({0, 20}, {0, 40}, 2);
  EXPECT_DOUBLE_EQ(output(), 20);
}

TEST_F(CalibrationTest, TemperatureCompensationFeedsTheLinearization) {
  ASSERT_EQ(put(24, kAccessCode), std::nullopt);
  ASSERT_EQ(put(28, u16(0x0201)), std::nullopt);
  ASSERT_EQ(put(39, {2}), std::nullopt);
  ASSERT_EQ(put(40, {2}), std::nullopt);
  ASSERT_EQ(put(41, floats({20, 40}, 5)), std::nullopt);
  ASSERT_EQ(put(46, floats({1, 21}, 5)), std::nullopt);
  ASSERT_EQ(put(47, floats({3, 23}, 5)), std::nullopt);
  ASSERT_EQ(put(42, floats({20, 40}, 5)), std::nullopt);
  ASSERT_EQ(put(45, floats({0, 20}, 5)), std::nullopt);
  EXPECT_DOUBLE_EQ(output(), 10) << "nothing changes before the end command";
  ASSERT_EQ(put(28, u16(0x0203)), std::nullopt);
  // At 30 degrees the two rows read 9 and 7; halfway between them is 8.
  EXPECT_DOUBLE_EQ(value(3, 29), 8);
  EXPECT_DOUBLE_EQ(output(), 8);
  linearize({0, 8}, {0, 16}, 2);
  EXPECT_DOUBLE_EQ(output(), 16);

  // A grid row that is not monotonic is refused and changes nothing.
  ASSERT_EQ(put(24, kAccessCode), std::nullopt);
  ASSERT_EQ(put(28, u16(0x0201)), std::nullopt);
  ASSERT_EQ(put(46, floats({5, 5}, 5)), std::nullopt);
  EXPECT_EQ(put(28, u16(0x0203)), (DpvError{0x80, dpv::kInvalidParameter, 0}));
  EXPECT_DOUBLE_EQ(value(3, 29), 8);
}

TEST(CalibrationProfileTest, StoredTrimsAreInEffectFromTheStart) {
  std::string text(kTransmitter);
  text += "slot.3.34 = 2\nslot.3.35 = f32: 0 10 hex:" + std::string(19 * 8, '0') + "\nslot.3.36 = f32: 0 5 hex:" +
          std::string(19 * 8, '0') + "\n";
  Rig rig(text, Bus::Profibus);
  auto out = rig.device().read(1, 26, 4, 0);
  EXPECT_DOUBLE_EQ(decodeValue(Encoding::F32, std::get<Bytes>(out).data()), 5);

  std::string why;
  EXPECT_FALSE(parseProfile(std::string(kTransmitter) + "slot.3.35 = 1 2 3\n", Bus::Profibus, &why));
  EXPECT_NE(why.find("84 bytes"), std::string::npos) << why;
  EXPECT_FALSE(parseProfile(std::string(kTransmitter) + "dynamic.slot.3.29 = constant value=1\n", Bus::Profibus, &why));
}

}  // namespace
}  // namespace tavrin::sim

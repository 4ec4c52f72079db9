#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "rig.h"
#include "sim/plant.h"
#include "sim/values.h"
#include "testing/temp_dir.h"

namespace tavrin::sim {
namespace {

using test::Rig;

constexpr std::string_view kOnThePlant = R"(
[DEVICE pt]
ADDRESS = 3
IDENT_NUMBER = 0x0A31
slot.1.26 = f32:0 u8:0x80
CALIBRATION = 1
OUTPUT = slot.1.26
SENSOR_GAIN = 1.01
SENSOR_OFFSET = -0.5
SENSOR_NONLINEAR = 0.0001
SENSOR_TEMPCO = 0.02
SENSOR_NOISE = 0.5
)";

double readFloat(PaTransmitter& pt, uint8_t slot, uint8_t index) {
  return decodeValue(Encoding::F32, std::get<Bytes>(pt.read(slot, index, 4, 0)).data());
}

// Rewrites the plant file the way an editor or a test does: a new file
// renamed over the old one.
void movePlant(const testing::TempDir& dir, const std::string& text) {
  dir.write("plant.new", text);
  std::filesystem::rename(dir.file("plant.new"), dir.file("plant.ini"));
}

TEST(PlantTest, RawValuesFollowThePlantFileThroughTheSensorError) {
  Rig rig{kOnThePlant, Bus::Profibus};
  PaTransmitter& pt = rig.device();
  ASSERT_NE(pt.sensor(), nullptr);
  pt.disableNoise();
  EXPECT_NEAR(readFloat(pt, 3, 37), -0.5 + 0.02 * (20 - 20), 1e-6) << "without a plant: pressure 0, 20 degrees";

  testing::TempDir dir;
  PlantFile plant(dir.file("plant.ini"));
  pt.setPlant(&plant);
  EXPECT_NEAR(readFloat(pt, 3, 31), 20, 1e-6) << "a missing file keeps the plant at rest";

  movePlant(dir, "[PLANT]\nPRESSURE = 100\nTEMPERATURE = 45\n");
  const double raw = -0.5 + 1.01 * 100 + 0.0001 * 100 * 100 + 0.02 * (45 - 20);
  EXPECT_NEAR(readFloat(pt, 3, 37), raw, 1e-4);
  EXPECT_NEAR(readFloat(pt, 3, 31), 45, 1e-5);
  EXPECT_NEAR(readFloat(pt, 1, 26), raw, 1e-4) << "untrimmed, the output is the raw value";

  movePlant(dir, "[plant]\npressure = 50\n");
  EXPECT_NEAR(readFloat(pt, 3, 37), -0.5 + 1.01 * 50 + 0.0001 * 2500 + 0.02 * 25, 1e-4)
      << "a key left out keeps its last value";
  movePlant(dir, "[PLANT]\nPRESSURE = lots\nTEMPERATURE = 20\n");
  EXPECT_NEAR(readFloat(pt, 3, 37), -0.5 + 1.01 * 50 + 0.0001 * 2500, 1e-4) << "no number: kept";

  EXPECT_EQ(pt.write(3, 37, Bytes(4, 0), 0), (DpvError{0x80, dpv::kAccessDenied, 0})) << "measured, not memory";
  EXPECT_TRUE(pt.isComputed({3, 37}));
  EXPECT_TRUE(pt.isComputed({3, 31}));
}

TEST(PlantTest, SensorNoiseStaysWithinItsAmplitudeAndCanBeSwitchedOff) {
  Rig rig{kOnThePlant, Bus::Profibus};
  PaTransmitter& pt = rig.device();
  std::set<float> seen;
  for (int i = 0; i < 50; ++i) {
    const double t = readFloat(pt, 3, 31);
    EXPECT_NEAR(t, 20, 0.5 + 1e-6);
    seen.insert(static_cast<float>(t));
  }
  EXPECT_GT(seen.size(), 1u) << "the jitter is there";
  pt.disableNoise();
  EXPECT_FLOAT_EQ(readFloat(pt, 3, 31), 20);
  EXPECT_FLOAT_EQ(readFloat(pt, 3, 31), 20);
}

TEST(PlantTest, ASensorNeedsTheCalibrationAndNoDynamicRawValues) {
  std::string why;
  EXPECT_FALSE(parseProfile("[DEVICE a]\nADDRESS=1\nIDENT_NUMBER=1\nSENSOR_GAIN=1.1\n", Bus::Profibus, &why));
  EXPECT_NE(why.find("CALIBRATION"), std::string::npos) << why;
  EXPECT_FALSE(parseProfile("[DEVICE a]\nADDRESS=1\nIDENT_NUMBER=1\nCALIBRATION=1\nSENSOR_GAIN=1.1\n"
                            "dynamic.slot.3.37 = f32 constant value=3\n",
                            Bus::Profibus, &why));
  EXPECT_NE(why.find("plant"), std::string::npos) << why;
  EXPECT_FALSE(parseProfile("[DEVICE a]\nADDRESS=1\nIDENT_NUMBER=1\nCALIBRATION=1\nSENSOR_TEMPCO=warm\n",
                            Bus::Profibus, &why));
  EXPECT_FALSE(parseProfile("[DEVICE a]\nADDRESS=1\nIDENT_NUMBER=1\nCALIBRATION=1\nSENSOR_NOISE=-1\n",
                            Bus::Profibus, &why));
  EXPECT_FALSE(parseProfile("[DEVICE a]\nADDRESS=1\nSENSOR_GAIN=1\n", Bus::Modbus, &why)) << "a PA key only";
}

TEST(PlantTest, TheCalibrationProfileHoldsThirtyTwoDistinctTransmitters) {
  std::string why;
  auto profile = loadProfile(std::string(TAVRIN_SOURCE_DIR) + "sim/profiles/profibus-calibration.ini", Bus::Profibus, &why);
  ASSERT_TRUE(profile) << why;
  ASSERT_EQ(profile->setup.profibus.size(), 32u);
  std::set<Bytes> serials;
  std::set<double> gains;
  for (size_t i = 0; i < 32; ++i) {
    PaTransmitter& pt = profile->setup.profibus[i];
    EXPECT_EQ(pt.address(), i);
    ASSERT_NE(pt.sensor(), nullptr);
    ASSERT_NE(pt.calibration(), nullptr);
    serials.insert(std::get<Bytes>(pt.read(0, 28, 16, 0)));
    gains.insert(pt.sensor()->gain);
  }
  EXPECT_EQ(serials.size(), 32u);
  EXPECT_EQ(gains.size(), 32u) << "each its own sensor error";
}

}  // namespace
}  // namespace tavrin::sim

#include "calibration/trim_database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "testing/temp_dir.h"

namespace tavrin::calibration {
namespace {

TEST(TrimNumbersTest, StoredAsTheProgramFormatsAndReadAsAtoiAndAtof) {
  EXPECT_EQ(formatFixed(1.2345678), "1.234568") << "six decimals";
  EXPECT_EQ(formatFixed(static_cast<float>(1.2345678)), "1.234568");
  EXPECT_EQ(formatFixed(-0.0004, 3), "-0.000");
  EXPECT_EQ(formatFixed(24.456, 2), "24.46");
  EXPECT_EQ(formatFixed(3.4e38).size(), 46u) << "the largest float fits";
  EXPECT_EQ(formatCount(21), "21");

  EXPECT_EQ(countOf(""), 0) << "an absent key counts as 0";
  EXPECT_EQ(countOf(" 12abc"), 12);
  EXPECT_EQ(countOf("-3"), -3);
  EXPECT_EQ(countOf("x5"), 0);
  EXPECT_EQ(countOf("99999999999999999999999"), std::numeric_limits<long long>::max());
  EXPECT_EQ(numberOf(""), 0);
  EXPECT_EQ(numberOf(" +3.5kPa"), 3.5);
  EXPECT_EQ(numberOf("-1e2"), -100);
  EXPECT_EQ(numberOf("abc"), 0);
  EXPECT_TRUE(std::isinf(numberOf("1e999")));
  EXPECT_EQ(numberOf("1e-999"), 0);
  EXPECT_EQ(typedNumber(" 2.5 "), 2.5);
  EXPECT_FALSE(typedNumber("2.5 kPa"));
  EXPECT_FALSE(typedNumber(""));
  EXPECT_FALSE(typedNumber("1e999"));
}

TEST(TrimNamesTest, IdentificationBytesBecomeSafeFileNames) {
  const std::vector<uint8_t> padded = {'C', 'A', 'L', '-', '7', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  EXPECT_EQ(identificationText(padded, 16), "CAL-7") << "trailing blanks dropped";
  EXPECT_EQ(identificationText(padded, 3), "CAL") << "only what was received";
  const std::vector<uint8_t> withZero = {'A', 'B', 0, 'C'};
  EXPECT_EQ(identificationText(withZero, 4), "AB") << "up to the first zero byte";
  std::vector<uint8_t> long17(17, 'x');
  EXPECT_EQ(identificationText(long17, 17), std::string(16, 'x')) << "16 characters at most";
  EXPECT_EQ(identificationText({}, 0), "");

  EXPECT_EQ(databaseName("PA2306-0005"), "PA2306-0005") << "safe names stay";
  EXPECT_EQ(databaseName("SN 12.A"), "SN 12.A");
  EXPECT_EQ(databaseName("../../etc/pw"), "_._.._etc_pw");
  EXPECT_EQ(databaseName("a\\b\tc\x7f"), "a_b_c_");
  EXPECT_EQ(databaseName(".hidden"), "_hidden");
  EXPECT_EQ(databaseName(".."), "_.");
  EXPECT_EQ(databaseName("Gr\xC3\xBC\xC3\x9F" "e"), "Gr\xC3\xBC\xC3\x9F" "e") << "other bytes are kept";
  EXPECT_FALSE(databaseName(""));

  TrimDatabase db("/x/DataBase/");
  EXPECT_EQ(db.path("../SN"), "/x/DataBase/_._SN.db");
  EXPECT_EQ(TrimDatabase::ofProgram("/opt/tavrin/").folder(), "/opt/tavrin/DataBase/");
  EXPECT_FALSE(db.open(""));
}

TEST(TrimFileTest, ManyKeysGoInOneRewriteAndAbsentOnesReadEmpty) {
  tavrin::testing::TempDir dir;
  TrimDatabase db(dir.file("DataBase/"));
  auto missing = db.open("SN-1");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->get("Linearization", "TrimPoints"), "") << "a missing file";

  TrimFile f = *db.open("SN-1");
  f.set("Linearization", "TrimPoints", "3");
  f.set("Linearization", "Trimed_Data_0", "1.50");
  f.set("Temperature_Trim", "TempPoints", "2");
  EXPECT_FALSE(std::filesystem::exists(dir.file("DataBase/SN-1.db"))) << "nothing before save";
  ASSERT_TRUE(f.save()) << "the folder is made when missing";
  EXPECT_EQ(dir.read("DataBase/SN-1.db"),
            "[Linearization]\nTrimPoints=3\nTrimed_Data_0=1.50\n\n[Temperature_Trim]\nTempPoints=2\n");

  // A transmitter with the same identification shares the file.
  TrimFile again = *db.open("SN-1");
  EXPECT_EQ(again.get("linearization", "trimpoints"), "3");
  again.set("Linearization", "Collection_Data_2", formatFixed(1.2345678));
  ASSERT_TRUE(again.save());
  EXPECT_EQ(db.open("SN-1")->get("Linearization", "Collection_Data_2"), "1.234568");
  EXPECT_EQ(db.open("SN-1")->get("Temperature_Trim", "TempPoints"), "2") << "the other section stays";

  dir.write("long.db", "[Linearization]\nTrimed_Data_0=" + std::string(2000, '7') + "\n");
  EXPECT_EQ(TrimFile::open(dir.file("long.db")).get("Linearization", "Trimed_Data_0").size(), 1023u);

  TrimFile nowhere = TrimFile::open(dir.file("not-a-folder.db/x/y.db"));
  dir.write("not-a-folder.db", "");
  nowhere.set("A", "B", "C");
  EXPECT_FALSE(nowhere.save());
}

}  // namespace
}  // namespace tavrin::calibration

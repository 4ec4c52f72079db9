#include "app/status_texts.h"

#include <gtest/gtest.h>

namespace tavrin::app {
namespace {

TEST(StatusTexts, ProfibusFailuresNameSlotIndexAndCause) {
  EXPECT_EQ(profibusFailureText(1, 0x10, 15), "Error: SLOT: 0x01, INDEX: 0x10; No response from slave");
  EXPECT_EQ(profibusFailureText(0, 0xFF, 0x30), "Error: SLOT: 0x00, INDEX: 0xFF; Undefined error status,Error code: 0X30");
  EXPECT_EQ(profibusStatusText(9), "Negative response with error code");
  EXPECT_EQ(profibusStatusText(103), "The serial port resource is abnormal");
  EXPECT_EQ(profibusStatusText(229), "Short frame response");
  EXPECT_EQ(profibusStatusText(0), "Undefined error status,Error code: 0X00");
  EXPECT_EQ(profibusStatusText(5), "Undefined error status,Error code: 0X05") << "a gap in the table";
}

TEST(StatusTexts, ModbusReadAndWriteSpeakDifferently) {
  EXPECT_EQ(modbusReadStatusText(2), "Error: Register address error");
  EXPECT_EQ(modbusWriteStatusText(2), "Comm Failure: Register address error!");
  EXPECT_EQ(modbusReadStatusText(5), "Error:The current request is being processed!");
  EXPECT_EQ(modbusWriteStatusText(23), "Comm Failure: Serial port error");
  EXPECT_EQ(modbusReadStatusText(25), "Error: No response from slave device!");
  EXPECT_EQ(modbusReadStatusText(129), "Error: Failed to send command!");
  EXPECT_EQ(modbusWriteStatusText(9), "Comm Failure: Unknown error!");
}

TEST(StatusTexts, NegativeDpv1RepliesDecodeClassAndCode) {
  EXPECT_EQ(decodeDpv1Error(0x80, 0xB6, 0x00).text(), "Access error : Access denied");
  EXPECT_EQ(decodeDpv1Error(0x80, 0xBA, 0x00).text(), "Access error : backup");
  EXPECT_EQ(decodeDpv1Error(0x80, 0xA9, 0x00).text(), "Application error : Property does not support");
  EXPECT_EQ(decodeDpv1Error(0x80, 0xC2, 0x00).text(), "Resource error : Resource busy");
  EXPECT_EQ(decodeDpv1Error(0x80, 0xA3, 0x00).text(), "Application error : ") << "a code without text";
  EXPECT_EQ(decodeDpv1Error(0x80, 0xBF, 0x00).text(), "Access error : ");
  EXPECT_EQ(decodeDpv1Error(0x80, 0xC4, 0x00).text(), "Resource error : ");
  EXPECT_EQ(decodeDpv1Error(0x80, 0x16, 0x00).text(), " : ") << "an unknown class";
  EXPECT_EQ(decodeDpv1Error(0, 0xB6, 0).code1, 0xB6);
}

}  // namespace
}  // namespace tavrin::app

#include "builtins/message_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin::builtins {
namespace {

struct Sources {
  std::vector<std::string> asked;
  int bad = 0;
  MessageSources get() {
    MessageSources s;
    s.local = [this](std::string_view name) -> std::optional<std::string> {
      asked.emplace_back(name);
      if (name == "n") return "3";
      return std::nullopt;
    };
    s.listed = [this](size_t index) -> std::optional<std::string> {
      asked.push_back("#" + std::to_string(index));
      if (index == 0) return "1.5";
      if (index == 1) return std::string(40, 'v');
      return std::nullopt;  // past the end of the list
    };
    s.badReference = [this] { ++bad; };
    return s;
  }
};

TEST(MessageFormatTest, ReferencesBecomeValueTextsWithABlank) {
  Sources src;
  EXPECT_EQ(formatMessage("P=%{0}", src.get()), "P=1.5 ");
  EXPECT_EQ(formatMessage("n is %{n}, P %{0}kPa", src.get()), "n is 3 , P 1.5 kPa");
  // A brace inside a reference starts its name afresh.
  EXPECT_EQ(formatMessage("[%junk{n}]", src.get()), "[3 ]");
  EXPECT_EQ(src.asked, (std::vector<std::string>{"#0", "n", "#0", "n"}));
  EXPECT_EQ(src.bad, 0);
}

TEST(MessageFormatTest, ReferencesThatNameNothingAreReportedAndLeftOut) {
  Sources src;
  // An index past the id list, an unknown local, and a name that is neither.
  EXPECT_EQ(formatMessage("a%{7}b%{nope}c%{1x}d%{}e", src.get()), "abcde");
  EXPECT_EQ(src.bad, 4);
  EXPECT_EQ(src.asked, (std::vector<std::string>{"#7", "nope"}));
  // An index too large for any number is past every list, not index 0.
  EXPECT_EQ(formatMessage("%{99999999999999999999}", src.get()), "");
  EXPECT_EQ(src.bad, 5);
}

TEST(MessageFormatTest, UnfinishedAndOverlongReferencesEndTheText) {
  Sources src;
  EXPECT_EQ(formatMessage("P=%{0", src.get()), "P=");
  EXPECT_EQ(formatMessage("50%", src.get()), "50");
  const std::string name30(30, 'n');
  const std::string name31(31, 'n');
  EXPECT_EQ(formatMessage("a%{" + name30 + "}b", src.get()), "ab");
  EXPECT_EQ(formatMessage("a%{" + name31 + "}b%{0}", src.get()), "a");
  // The part before a brace counts as a name of its own while it is read.
  EXPECT_EQ(formatMessage("a%" + name31 + "{0}b", src.get()), "a");
}

TEST(MessageFormatTest, TheResultIsBounded) {
  Sources src;
  EXPECT_EQ(formatMessage(std::string(300, 'x'), src.get()).size(), kMessageLimit + 1);
  // A value appended near the end is cut at the bound.
  const std::string long_value = formatMessage(std::string(240, 'x') + "%{1}%{1}", src.get());
  EXPECT_EQ(long_value.size(), kMaxMessage);
  EXPECT_EQ(long_value.substr(240), std::string(15, 'v'));
}

}  // namespace
}  // namespace tavrin::builtins

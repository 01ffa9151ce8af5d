#include "host/text.h"

#include <gtest/gtest.h>

#include "host/filename.h"
#include "host/values.h"

namespace {

TEST(HostText, EightBitTextRoundTripsThroughWindows1252) {
  // 0x80 euro, 0x9F Y diaeresis, 0xE9 e acute, 0xFC u diaeresis.
  const std::string bytes = "Caf\xE9 \x80 \x9F \xFC";
  const host::String text = host::stringFrom8Bit(bytes);
  EXPECT_EQ(text, "Caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8 \xC3\xBC");
  EXPECT_EQ(host::stringTo8Bit(text), bytes);
  // A character the encoding cannot hold becomes '?'.
  EXPECT_EQ(host::stringTo8Bit("\xE6\x97\xA5"), "?");
}

TEST(HostText, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(host::stringFromUtf8("a\xFF"
                                 "b"),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(host::stringFromUtf8("\xC3"), "\xEF\xBF\xBD");                  // cut sequence
  EXPECT_EQ(host::stringFromUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong
  EXPECT_EQ(host::stringFromUtf8("\xC3\xA9"), "\xC3\xA9");
}

TEST(HostText, UpperSplitAndNumbers) {
  EXPECT_EQ(host::toUpper("chSize_\xC3\xA9"), "CHSIZE_\xC3\x89");
  EXPECT_EQ(host::splitString("C4D__A_", '_'), (std::vector<host::String>{"C4D", "", "A", ""}));
  EXPECT_EQ(host::splitString("", '_'), (std::vector<host::String>{""}));

  struct Case {
    const char* text;
    int32_t value;
    bool error;
  };
  const Case cases[] = {{"12", 12, false}, {" -3 ", -3, false}, {"+7", 7, false},
                        {"", 0, true},     {"12a", 0, true},    {"99999999999", 0, true}};
  for (const Case& c : cases) {
    bool error = false;
    EXPECT_EQ(host::toInt32(c.text, &error), c.value) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
  EXPECT_EQ(host::realToString(0.25), "0.25");
  EXPECT_EQ(host::realToString(12.0), "12");
  EXPECT_EQ(host::realToString(1.0004), "1");
  EXPECT_LT(host::compareStrings("a", "b"), 0);
}

TEST(HostFilename, PartsAndSuffixes) {
  const host::Filename f("C:\\Models\\House.talvo");
  EXPECT_EQ(f.file().string(), "House.talvo");
  EXPECT_EQ(f.title(), "House");
  EXPECT_EQ(f.directory().string(), "C:\\Models");
  EXPECT_TRUE(f.checkSuffix("TALVO"));  // letter case is ignored
  EXPECT_FALSE(host::Filename("a/TALVO").checkSuffix("TALVO"));
  EXPECT_FALSE(host::Filename("dir.TALVO/file").checkSuffix("TALVO"));

  host::Filename g("out/scene.TALVO");
  g.setSuffix("json");
  EXPECT_EQ(g.string(), "out/scene.json");
  g.clearSuffix();
  EXPECT_EQ(g.string(), "out/scene");
  EXPECT_EQ((host::Filename("a/") + host::Filename("b")).string(), "a/b");
  EXPECT_EQ((host::Filename("a") + host::Filename("b")).string(), "a/b");
}

TEST(HostValue, TagsAndContainerDefaults) {
  host::Container c;
  c.setInt32(1, 5);
  c.setReal(2, 0.5);
  c.setString(3, "x");
  c.setFilename(4, host::Filename("tex"));
  c.setVector(5, {1, 2, 3});
  EXPECT_EQ(c.getValue(1)->type(), host::kValueInteger);
  EXPECT_EQ(c.getValue(2)->type(), host::kValueReal);
  EXPECT_EQ(c.getValue(3)->type(), host::kValueString);
  EXPECT_EQ(c.getValue(4)->type(), host::kValueFilename);
  EXPECT_EQ(c.getValue(5)->type(), host::kValueVector);
  EXPECT_EQ(host::HostValue().type(), host::kValueNone);
  // A missing id, or a value of another tag, reads as the default.
  EXPECT_EQ(c.getInt32(99, 7), 7);
  EXPECT_EQ(c.getInt32(2, 7), 7);
  EXPECT_EQ(c.getReal(2), 0.5);
  c.setInt32(1, 6);  // setting again keeps the id's place
  EXPECT_EQ(c.entries().front().first, 1);
  EXPECT_EQ(c.getInt32(1), 6);
  host::Container copy = c;
  EXPECT_EQ(copy, c);
  EXPECT_TRUE(c.remove(1));
  EXPECT_NE(copy, c);
}

}  // namespace

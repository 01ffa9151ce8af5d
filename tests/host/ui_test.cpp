#include "host/ui.h"

#include <gtest/gtest.h>

#include "host/app.h"
#include "host/memory.h"
#include "host/resource.h"

namespace {

class HostUi : public ::testing::Test {
 protected:
  void TearDown() override { host::app::reset(); }
};

TEST_F(HostUi, QuestionsTakeQueuedAnswersThenTheResponder) {
  host::app::queueAnswers({host::kAnswerYes});
  EXPECT_EQ(host::messageBox(36, "first?"), host::kAnswerYes);
  EXPECT_EQ(host::messageBox(36, "second?"), host::kAnswerNo);  // no responder: No
  host::app::setBoxResponder([](int32_t, const host::String&) { return host::kAnswerYes; });
  EXPECT_EQ(host::messageBox(36, "third?"), host::kAnswerYes);
  EXPECT_EQ(host::messageBox(48, "note"), host::kAnswerOk);
  ASSERT_EQ(host::app::shownBoxes().size(), 4u);
  EXPECT_EQ(host::app::shownBoxes()[3].style, 48);
  EXPECT_EQ(host::app::shownBoxes()[3].text, "note");
}

TEST_F(HostUi, HeldKeyReadsForItsPolls) {
  EXPECT_FALSE(host::isKeyHeld(host::kKeyEscape));
  host::app::holdKey(host::kKeyEscape, 2);
  EXPECT_TRUE(host::isKeyHeld(host::kKeyEscape));
  EXPECT_TRUE(host::isKeyHeld(host::kKeyEscape));
  EXPECT_FALSE(host::isKeyHeld(host::kKeyEscape));
}

TEST_F(HostUi, NthAllocationFails) {
  const int64_t live = host::app::liveAllocations();
  host::app::failAllocationAt(2);
  void* a = host::memAlloc(8);
  void* b = host::memAlloc(8);
  void* c = host::memAlloc(8);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  host::memFree(a);
  host::memFree(c);
  EXPECT_EQ(host::app::liveAllocations(), live);
}

TEST_F(HostUi, ResourceStringsByIdAndMissingIdsAreEmpty) {
  ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
  EXPECT_FALSE(host::loadString(10010).empty());
  EXPECT_FALSE(host::loadString(14000).empty());
  EXPECT_EQ(host::loadString(2), "Centimetre");
  EXPECT_TRUE(host::loadString(123456).empty());
  EXPECT_FALSE(host::initResource("/nonexistent-folder"));
}

}  // namespace

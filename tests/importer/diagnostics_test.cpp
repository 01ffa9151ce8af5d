#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/app.h"
#include "host/resource.h"
#include "host/ui.h"
#include "talvo_import_c4d_diagnostics.h"

namespace {

class Diagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host::initResource(TALVO_SOURCE_RES_DIR));
    host::app::setConsoleSink([this](const host::String& line) { lines_.push_back(line); });
  }
  void TearDown() override { host::app::reset(); }
  std::vector<std::string> lines_;
};

TEST_F(Diagnostics, PrintLineDropsLineFeedsAndCutsAt2047Bytes) {
  talvo::printLine("a\nb%s\n", "\nc");
  talvo::printLine("%s", std::string(3000, 'x').c_str());
  talvo::printLine("caf\xE9");  // host 8-bit text
  ASSERT_EQ(lines_.size(), 3u);
  EXPECT_EQ(lines_[0], "abc");
  EXPECT_EQ(lines_[1], std::string(2047, 'x'));
  EXPECT_EQ(lines_[2], "caf\xC3\xA9");
}

TEST_F(Diagnostics, CancelAsksOnlyWhileEscapeIsHeld) {
  EXPECT_FALSE(talvo::cancelRequested());
  EXPECT_TRUE(lines_.empty());
  EXPECT_TRUE(host::app::shownBoxes().empty());

  struct Case {
    int32_t answer;
    bool cancelled;
  };
  for (const Case c : {Case{host::kAnswerYes, true}, Case{host::kAnswerNo, false}}) {
    lines_.clear();
    host::app::clearShownBoxes();
    const int32_t eventsBefore = host::app::eventAddCount();
    host::app::holdKey(host::kKeyEscape);
    host::app::queueAnswers({c.answer});
    EXPECT_EQ(talvo::cancelRequested(), c.cancelled);
    EXPECT_EQ(lines_, (std::vector<std::string>{talvo::kBlockLine, "CANCELED", talvo::kBlockLine}));
    ASSERT_EQ(host::app::shownBoxes().size(), 1u);
    EXPECT_EQ(host::app::shownBoxes()[0].style, 36);
    EXPECT_EQ(host::app::shownBoxes()[0].text, host::loadString(14000));
    EXPECT_EQ(host::app::eventAddCount() - eventsBefore, c.cancelled ? 1 : 0);
  }
}

TEST_F(Diagnostics, MessageBoxStylesProgressAndStatus) {
  talvo::showStop("s");
  talvo::showWarning("w");
  talvo::showInfo("i");
  const auto& boxes = host::app::shownBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].style, 16);
  EXPECT_EQ(boxes[1].style, 48);
  EXPECT_EQ(boxes[2].style, 64);

  talvo::reportProgress(1, 3);
  EXPECT_EQ(host::app::statusBar().percent, 33);
  talvo::reportProgress(2, 3);
  EXPECT_EQ(host::app::statusBar().percent, 66);
  talvo::reportProgress(5, 0);  // no division by zero
  EXPECT_EQ(host::app::statusBar().percent, 0);
  talvo::statusText(10901);
  EXPECT_EQ(host::app::statusBar().text, host::loadString(10901));
  talvo::statusClear();
  EXPECT_TRUE(host::app::statusBar().text.empty());
  EXPECT_EQ(host::app::statusBar().percent, -1);
  EXPECT_DOUBLE_EQ(talvo::elapsedSeconds(1234), 1.234);
}

}  // namespace

// The scripted user itself: how it reads a script, and how it reports what went wrong.
#include <string>

#include "res/resource.h"
#include "tests/ui/ui_fixture.h"
#include "testhost/script.h"

namespace srtm::test {
namespace {

class ScriptTest : public UiTest {};

TEST_F(ScriptTest, UnreadableLinesAreNamedAndNothingRuns) {
  host::Script user("menu \"open\nclick abc\nkey space\nexpect check 1 maybe\n\n# a comment\nfolder cancel\n");
  EXPECT_FALSE(user.Run());
  ASSERT_EQ(user.errors().size(), 4u) << user.Report();
  EXPECT_EQ(user.errors()[0], "line 1 (menu \"open): unterminated quote");
  EXPECT_EQ(user.errors()[1], "line 2 (click abc): cannot read this step");
  EXPECT_EQ(user.errors()[3], "line 4 (expect check 1 maybe): cannot read this expectation");
  EXPECT_TRUE(user.log().empty());
}

TEST_F(ScriptTest, AFailedExpectationIsRecordedAndTheScriptGoesOnButAFailedActionStopsIt) {
  host::Script user("expect dialog 30700\nexpect main enabled\nclick 30705\nexpect main enabled\n");
  EXPECT_FALSE(user.Run());
  ASSERT_EQ(user.errors().size(), 2u) << user.Report();
  EXPECT_EQ(user.errors()[0], "line 1 (expect dialog 30700): the dialog is not shown");
  EXPECT_EQ(user.errors()[1], "line 3 (click 30705): no shown dialog has this control");
  EXPECT_EQ(user.log().size(), 3u);  // the step after the stop is not done
  EXPECT_FALSE(user.finished());
}

TEST_F(ScriptTest, AWaitAtTheTopLevelThatNothingCanSatisfyIsAnError) {
  host::Script user("wait dialog 30716\n");
  EXPECT_FALSE(user.Run());
  ASSERT_EQ(user.errors().size(), 1u);
  EXPECT_EQ(user.errors()[0], "line 1 (wait dialog 30716): waits for what never happens");
}

TEST_F(ScriptTest, TextsAreUtf8InTheScriptAndCodePage932OnTheScreen) {
  EXPECT_EQ(host::ScriptText("中止"), ToCp932("中止"));
  EXPECT_EQ(host::ScriptWord("a\\b\"c\nd"), "\"a\\\\b\\\"c\\nd\"");
  host::Script user("menu " + host::ScriptWord("地形データ削除") + "\n");
  EXPECT_FALSE(user.Run());
  EXPECT_EQ(user.errors().at(0), "line 1 (menu \"地形データ削除\"): there is no such menu item");
}

}  // namespace
}  // namespace srtm::test

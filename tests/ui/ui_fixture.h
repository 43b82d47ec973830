// The plug-in (linked in, so tests reach its seams) with the stand-in host and the
// headless window system: a fresh host, desktop and settings for every test, the
// plug-in created and its menus loaded, and helpers to look at windows and logs.
#pragma once

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"
#include "testhost/desktop.h"
#include "testhost/script.h"
#include "ui/headless/window_store.h"

namespace srtm::test {

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs a script as the user; a failure names the lines that went wrong.
  void Run(const std::string& script);
  // Runs a script that is expected to stop with the error naming `line`.
  void RunExpectingStop(const std::string& script, int line);

  // A shown dialog of the template, or null.
  ui::Handle Shown(int templateId) const;
  ui::headless::WindowInfo Info(ui::Handle window) const;
  // A control of a shown dialog.
  ui::headless::WindowInfo Control(int templateId, int id) const;
  // Lines of the host's call log (QLP_ calls and "ui ..." window events) that start with
  // one of the prefixes, in order.
  std::vector<std::string> Calls(const std::vector<std::string>& prefixes) const;

  // The real tile under four names in a folder of its own, N57E011 opened as the active
  // base map (so the compress command applies); `out` is an empty output folder.
  void OpenFourTiles();
  std::string TilePath(const std::string& name) const { return tiles_.File(name); }

  TempFolder tiles_;
  std::string out_;
};

inline std::string Quoted(const std::string& text) { return host::ScriptWord(text); }

}  // namespace srtm::test

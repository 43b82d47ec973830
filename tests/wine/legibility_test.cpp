// The checks behind the scripted user's pictures, on windows made to show each fault:
// a picture that passes them has legible Japanese text, so each fault must be found.
#include <windows.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "testhost/shot_win32.h"

namespace srtm::host {
namespace {

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

// A static control that never draws: what a text the display did not show looks like.
WNDPROC g_staticProc = nullptr;
LRESULT CALLBACK SilentStatic(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    ValidateRect(window, nullptr);
    return 0;
  }
  return CallWindowProcW(g_staticProc, window, message, wparam, lparam);
}

class LegibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_3DFACE);
    windowClass.lpszClassName = L"LegibilityTest";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"LegibilityTest", L"設定の試験", WS_POPUP | WS_CAPTION | WS_VISIBLE, 200, 200, 420,
                              160, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    // The dialogs' font, which the prefix replaces with IPA P Gothic.
    japanese_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, 0, L"ＭＳ Ｐゴシック");
    // A font of the system without Japanese characters (Wine takes "Tahoma" and the like
    // for the dialog font's replacement in a Japanese prefix).
    latin_ = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, L"DejaVu Sans");
  }
  void TearDown() override {
    DestroyWindow(window_);
    DeleteObject(japanese_);
    DeleteObject(latin_);
  }
  HWND Label(const wchar_t* text, int width, HFONT font) {
    HWND label = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT, 20, 20 + 30 * labels_++, width,
                                 16, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return label;
  }
  std::vector<std::string> Problems() { return CheckLegible(window_, CaptureTopLevel(window_)); }
  static bool Mentions(const std::vector<std::string>& problems, const std::string& what) {
    for (const std::string& p : problems) {
      if (p.find(what) != std::string::npos) return true;
    }
    return false;
  }

  HWND window_ = nullptr;
  HFONT japanese_ = nullptr, latin_ = nullptr;
  int labels_ = 0;
};

TEST_F(LegibilityTest, JapaneseTextThatFitsInTheReplacedFontPasses) {
  Label(L"m 以下を海とする.", 200, japanese_);
  Label(L"データの欠落部分を補う(&S)", 300, japanese_);
  const auto problems = Problems();
  EXPECT_TRUE(problems.empty()) << ::testing::PrintToString(problems);
  std::string why;
  EXPECT_TRUE(DrawnInFamily(window_, "IPAPGothic", &why)) << why;
}

TEST_F(LegibilityTest, TheFontCheckTellsTheReplacementFromOtherFonts) {
  Label(L"海", 100, japanese_);
  std::string why;
  EXPECT_FALSE(DrawnInFamily(window_, "IPAGothic", &why));  // the fixed-pitch sibling
  EXPECT_NE(why.find("drawn in"), std::string::npos) << why;
  DestroyWindow(GetWindow(window_, GW_CHILD));
  Label(L"sea", 100, latin_);
  EXPECT_FALSE(DrawnInFamily(window_, "IPAPGothic", &why));
}

TEST_F(LegibilityTest, QuestionMarksWhereTextShouldBeAreFound) {
  // What SetWindowTextA makes of Shift-JIS bytes outside code page 932.
  Label(L"????????", 200, japanese_);
  EXPECT_TRUE(Mentions(Problems(), "reads \"????????\""));
}

TEST_F(LegibilityTest, AFontWithoutTheCharactersIsFound) {
  Label(L"圧縮", 200, latin_);
  EXPECT_TRUE(Mentions(Problems(), "has no glyph for \"圧縮\""));
}

TEST_F(LegibilityTest, TextCutByItsControlIsFound) {
  Label(L"圧縮したXEMファイルの保存先を指定してください。", 60, japanese_);
  EXPECT_TRUE(Mentions(Problems(), "is cut to 60 x 16"));
}

TEST_F(LegibilityTest, TextTheDisplayDoesNotShowIsFound) {
  HWND label = Label(L"地図を登録しています..", 200, japanese_);
  g_staticProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SilentStatic)));
  EXPECT_TRUE(Mentions(Problems(), "the picture shows 0 ink pixels"));
}

TEST_F(LegibilityTest, ABlankPictureIsFound) {
  SetWindowLongW(window_, GWL_STYLE, WS_POPUP | WS_VISIBLE);  // no title bar either
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  EXPECT_TRUE(Mentions(Problems(), "the picture is blank"));
}

// Window frames draw their close box with Marlett's glyph, asking for the font as here;
// without Marlett in the prefix Wine draws the letter standing for it, "r", in another
// font (the pictures of the guide showed that).
TEST_F(LegibilityTest, TheCloseBoxIsDrawnInMarlett) {
  HDC dc = GetDC(window_);
  HFONT marlett = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, SYMBOL_CHARSET, 0, 0, 0, 0, L"Marlett");
  HGDIOBJ old = SelectObject(dc, marlett);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  SelectObject(dc, old);
  DeleteObject(marlett);
  ReleaseDC(window_, dc);
  EXPECT_STREQ(face, L"Marlett") << "the close box would show the letter r: Marlett is not in the prefix's Fonts folder";
}

}  // namespace
}  // namespace srtm::host

// The dialog templates: read from res/srtm.rc as the headless window system reads them,
// compared with what windres compiles from the same file for the Win32 plug-in, and the
// reader's handling of the resource language.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <strings.h>
#include <vector>

#include "gtest/gtest.h"
#include "res/resource.h"
#include "tests/support/test_support.h"
#include "ui/templates.h"

namespace srtm::ui {
namespace {

using test::ToCp932;

const ControlTemplate* ControlOf(const DialogTemplate& dialog, int id) {
  for (const ControlTemplate& c : dialog.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

std::vector<int> Ids(const DialogTemplate& dialog) {
  std::vector<int> ids;
  for (const ControlTemplate& c : dialog.controls) ids.push_back(c.id);
  return ids;
}

constexpr unsigned kChildVisible = 0x50000000u;  // WS_CHILD | WS_VISIBLE
constexpr unsigned kTabStop = 0x00010000u;
constexpr unsigned kDisabled = 0x08000000u;

TEST(EmbeddedTemplates, AllFiveTemplatesAreThereAndNothingElse) {
  for (int id : {IDD_SETTINGS, IDD_WIZARD_FOLDER, IDD_WIZARD_RUN, IDD_WIZARD_FINISH, IDD_PROGRESS}) {
    EXPECT_NE(FindDialogTemplate(id), nullptr) << id;
  }
  EXPECT_EQ(FindDialogTemplate(1), nullptr);  // the version record is not a dialog
}

TEST(EmbeddedTemplates, SettingsDialogHasItsFrameFontControlsAndTabOrder) {
  const DialogTemplate& d = *FindDialogTemplate(IDD_SETTINGS);
  EXPECT_EQ(d.cx, 187);
  EXPECT_EQ(d.cy, 92);
  EXPECT_EQ(d.style, 0x80C800C0u);  // pop-up, caption, system menu, modal frame, set-font
  EXPECT_EQ(d.caption, ToCp932("スペースシャトル地形データの設定"));
  EXPECT_EQ(d.pointSize, 9);
  EXPECT_EQ(d.faceName, ToCp932("ＭＳ Ｐゴシック"));
  EXPECT_EQ(Ids(d), (std::vector<int>{1, 2, 30701, 30702, 30703, 30704}));

  const ControlTemplate& ok = *ControlOf(d, 1);
  EXPECT_EQ(ok.style, kChildVisible | kTabStop | 0x1u);  // the default push button
  EXPECT_EQ((std::vector<int>{ok.x, ok.y, ok.cx, ok.cy}), (std::vector<int>{75, 71, 50, 14}));
  EXPECT_EQ(ControlOf(d, 2)->text, ToCp932("キャンセル"));
  EXPECT_EQ(ControlOf(d, 30701)->text, ToCp932("データの欠落部分を補う(&S)"));
  EXPECT_EQ(ControlOf(d, 30701)->style & 0xFu, 0x3u);  // auto check box
  const ControlTemplate& edit = *ControlOf(d, 30703);
  EXPECT_EQ(edit.className, "Edit");
  EXPECT_EQ(edit.style, kChildVisible | kTabStop | 0x00800000u | 0x80u);  // border, auto-scroll, any text
  EXPECT_EQ(ControlOf(d, 30704)->text, ToCp932("m 以下を海とする."));
}

TEST(EmbeddedTemplates, WizardPagesAreHiddenChildDialogsWithTheirButtonsAndTexts) {
  for (int id : {IDD_WIZARD_FOLDER, IDD_WIZARD_RUN, IDD_WIZARD_FINISH}) {
    const DialogTemplate& d = *FindDialogTemplate(id);
    EXPECT_EQ(d.style, 0x40000040u) << id;  // child, set-font, not visible
    EXPECT_EQ(d.cx, 258);
    EXPECT_EQ(d.cy, 190);
    EXPECT_EQ(d.pointSize, 10);
    const ControlTemplate& next = *ControlOf(d, IDC_NEXT);
    EXPECT_EQ(next.style & 0xFu, 0x1u) << id;
    EXPECT_EQ((std::vector<int>{next.x, next.y, next.cx, next.cy}), (std::vector<int>{156, 172, 44, 14}));
    const ControlTemplate& back = *ControlOf(d, IDC_BACK);
    EXPECT_EQ((back.style & kDisabled) != 0, id != IDD_WIZARD_RUN) << id;
  }
  const DialogTemplate& folder = *FindDialogTemplate(IDD_WIZARD_FOLDER);
  EXPECT_EQ(Ids(folder), (std::vector<int>{30714, 30711, 30710, 30706, 30705, 2, -1, 30707, 30718, -1}));
  EXPECT_EQ(ControlOf(folder, IDC_NEXT)->text, ToCp932("次へ(&N)"));
  EXPECT_EQ(ControlOf(folder, 2)->text, ToCp932("ｷｬﾝｾﾙ"));
  EXPECT_EQ(ControlOf(folder, IDC_MAIN_TEXT)->text,
            ToCp932("現在使用中の地形データをXEM形式に圧縮します。\n\n圧縮にはしばらく時間がかかります。\n"
                    "元のHGTファイルは改変しません。\n\n圧縮したXEMファイルの保存先を指定してください。"));
  const ControlTemplate& line = folder.controls[6];
  EXPECT_EQ((std::vector<int>{line.x, line.y, line.cx, line.cy}), (std::vector<int>{0, 165, 258, 1}));
  EXPECT_EQ(line.style & 0x1Fu, 0x10u);  // an etched horizontal line

  const DialogTemplate& run = *FindDialogTemplate(IDD_WIZARD_RUN);
  EXPECT_EQ(Ids(run), (std::vector<int>{30714, 30706, 30705, 2, -1, 30713, 30712, 30709}));
  // The ready text begins its lines with ideographic spaces (0x81 0x40).
  EXPECT_EQ(ControlOf(run, IDC_MAIN_TEXT)->text,
            ToCp932("\u3000準備ができました。\n\n\u3000[次へ]を押すと、変換を開始します。"));
  EXPECT_EQ(ControlOf(run, IDC_PROGRESS)->className, "msctls_progress32");

  const DialogTemplate& finish = *FindDialogTemplate(IDD_WIZARD_FINISH);
  EXPECT_EQ(Ids(finish), (std::vector<int>{30714, 30706, 30705, -1, 30708, 30719}));
  EXPECT_EQ(ControlOf(finish, IDC_NEXT)->text, ToCp932("完了"));
  EXPECT_EQ(ControlOf(finish, 2), nullptr);  // no Cancel button
}

TEST(EmbeddedTemplates, ProgressDialogIsVisibleWithoutSystemMenu) {
  const DialogTemplate& d = *FindDialogTemplate(IDD_PROGRESS);
  EXPECT_EQ(d.style, 0x90C000C0u);  // pop-up, visible, caption, modal frame, set-font; no system menu
  EXPECT_EQ(d.caption, "SRTM");
  EXPECT_EQ((std::vector<int>{d.cx, d.cy}), (std::vector<int>{186, 61}));
  EXPECT_EQ(Ids(d), (std::vector<int>{30712, 30713, 30720}));
  EXPECT_EQ(ControlOf(d, IDC_STATUS_TEXT)->text, ToCp932("地図を登録しています.."));
  EXPECT_EQ(ControlOf(d, IDC_PROGRESS)->style, kChildVisible | 0x00800000u | 0x1u);  // border, smooth
  EXPECT_EQ(ControlOf(d, IDC_ABORT)->text, ToCp932("中止"));
}

// ---- The same templates as windres compiles them for the Win32 plug-in ----

std::string Utf16ToCp932(const std::u16string& text) {
  return test::Iconv(std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size()), "UTF-16LE", "CP932");
}

// Reads the little-endian binary of a compiled resource file.
class ResReader {
 public:
  ResReader(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t end) : b_(bytes), at_(at), end_(end) {}
  bool ok() const { return at_ <= end_; }
  std::size_t at() const { return at_; }
  std::uint16_t Word() {
    if (at_ + 2 > end_) {
      at_ = end_ + 1;
      return 0;
    }
    const std::uint16_t v = static_cast<std::uint16_t>(b_[at_] | b_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  std::uint32_t Dword() {
    const std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
  }
  std::u16string String() {
    std::u16string s;
    for (std::uint16_t c = Word(); c && ok(); c = Word()) s += static_cast<char16_t>(c);
    return s;
  }
  // A name or ordinal: the ordinal (0xFFFF prefix) as a number, or the text.
  std::string NameOrOrdinal(int* ordinal) {
    *ordinal = -1;
    const std::uint16_t first = Word();
    if (first == 0) return "";
    if (first == 0xFFFF) {
      *ordinal = Word();
      return "";
    }
    std::u16string s(1, static_cast<char16_t>(first));
    s += String();
    return Utf16ToCp932(s);
  }
  void Align() { at_ = (at_ + 3) & ~std::size_t{3}; }

 private:
  const std::vector<std::uint8_t>& b_;
  std::size_t at_, end_;
};

std::vector<DialogTemplate> CompiledDialogs(const std::vector<std::uint8_t>& res) {
  std::vector<DialogTemplate> dialogs;
  std::size_t at = 0;
  while (at + 8 <= res.size()) {
    ResReader header(res, at, res.size());
    const std::uint32_t dataSize = header.Dword();
    const std::uint32_t headerSize = header.Dword();
    int type = -1, name = -1;
    header.NameOrOrdinal(&type);
    header.NameOrOrdinal(&name);
    const std::size_t data = at + headerSize;
    if (type == 5) {  // RT_DIALOG
      ResReader r(res, data, data + dataSize);
      DialogTemplate d;
      d.id = name;
      EXPECT_EQ(r.Word(), 1);       // DLGTEMPLATEEX
      EXPECT_EQ(r.Word(), 0xFFFF);
      r.Dword();  // help ID
      d.exStyle = r.Dword();
      d.style = r.Dword();
      const int count = r.Word();
      d.x = static_cast<std::int16_t>(r.Word());
      d.y = static_cast<std::int16_t>(r.Word());
      d.cx = static_cast<std::int16_t>(r.Word());
      d.cy = static_cast<std::int16_t>(r.Word());
      int ordinal;
      r.NameOrOrdinal(&ordinal);  // menu
      r.NameOrOrdinal(&ordinal);  // class
      d.caption = Utf16ToCp932(r.String());
      if (d.style & 0x40) {
        d.pointSize = r.Word();
        r.Word();  // weight
        r.Word();  // italic, charset
        d.faceName = Utf16ToCp932(r.String());
      }
      static const char* const kClasses[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
      for (int i = 0; i < count && r.ok(); ++i) {
        r.Align();
        ControlTemplate c;
        r.Dword();  // help ID
        c.exStyle = r.Dword();
        c.style = r.Dword();
        c.x = static_cast<std::int16_t>(r.Word());
        c.y = static_cast<std::int16_t>(r.Word());
        c.cx = static_cast<std::int16_t>(r.Word());
        c.cy = static_cast<std::int16_t>(r.Word());
        c.id = static_cast<std::int32_t>(r.Dword());
        c.className = r.NameOrOrdinal(&ordinal);
        if (ordinal >= 0x80 && ordinal <= 0x85) c.className = kClasses[ordinal - 0x80];
        c.text = r.NameOrOrdinal(&ordinal);
        const std::uint16_t extra = r.Word();
        for (int e = 0; e < extra; ++e) r.Word();
        d.controls.push_back(c);
      }
      EXPECT_TRUE(r.ok()) << "dialog " << name << " runs past its data";
      dialogs.push_back(d);
    }
    at = (data + dataSize + 3) & ~std::size_t{3};
  }
  return dialogs;
}

TEST(CompiledTemplates, WindresBuildsExactlyWhatTheHeadlessWorldReads) {
#if defined(SRTM_COMPILED_RESOURCES)
  std::ifstream file(SRTM_COMPILED_RESOURCES, std::ios::binary);
  ASSERT_TRUE(file) << SRTM_COMPILED_RESOURCES;
  const std::vector<std::uint8_t> res((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::vector<DialogTemplate> compiled = CompiledDialogs(res);
  ASSERT_EQ(compiled.size(), 5u);
  for (const DialogTemplate& c : compiled) {
    SCOPED_TRACE("template " + std::to_string(c.id));
    const DialogTemplate* read = FindDialogTemplate(c.id);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->style, c.style);
    EXPECT_EQ(read->exStyle, c.exStyle);
    EXPECT_EQ((std::vector<int>{read->x, read->y, read->cx, read->cy}), (std::vector<int>{c.x, c.y, c.cx, c.cy}));
    EXPECT_EQ(read->caption, c.caption);
    EXPECT_EQ(read->pointSize, c.pointSize);
    EXPECT_EQ(read->faceName, c.faceName);
    ASSERT_EQ(read->controls.size(), c.controls.size());
    for (std::size_t i = 0; i < c.controls.size(); ++i) {
      const ControlTemplate& a = read->controls[i];
      const ControlTemplate& b = c.controls[i];
      SCOPED_TRACE("control " + std::to_string(b.id));
      EXPECT_EQ(a.id, b.id);
      EXPECT_EQ(strcasecmp(a.className.c_str(), b.className.c_str()), 0) << a.className << " / " << b.className;
      EXPECT_EQ(a.text, b.text);
      EXPECT_EQ(a.style, b.style);
      EXPECT_EQ(a.exStyle, b.exStyle);
      EXPECT_EQ((std::vector<int>{a.x, a.y, a.cx, a.cy}), (std::vector<int>{b.x, b.y, b.cx, b.cy}));
    }
  }
#else
  GTEST_SKIP() << "windres is not installed";
#endif
}

// ---- The reader ----

TEST(TemplateReader, ReadsStylesWithNotDefinesAndEscapes) {
  const std::string header = "#define IDD_X 7 // a dialog\n#define IDC_Y 0x10\n#define MACRO(a) a\n";
  const std::string script =
      "/* comment */\n#include \"x.h\"\nIDD_X DIALOGEX 1, 2, 30, 40\n"
      "STYLE WS_CHILD | (WS_BORDER | WS_VISIBLE)\nFONT 8, \"F\", 400, 0, 0x1\nBEGIN\n"
      "  PUSHBUTTON \"a\\\"b\"\"c\\nd\", IDC_Y, 1, 2, 3, 4, NOT WS_TABSTOP | WS_DISABLED\n"
      "  CONTROL \"\", -1, \"Static\", SS_ETCHEDHORZ | NOT WS_VISIBLE, 0, 1, 2, 3, WS_EX_STATICEDGE\n"
      "END\n"
      "1 VERSIONINFO\nFILEVERSION 1,2,3,4\nBEGIN\n BLOCK \"x\"\n BEGIN\n VALUE \"a\", \"b\"\n END\nEND\n";
  std::vector<DialogTemplate> out;
  std::string error;
  ASSERT_TRUE(ParseDialogTemplates(script, header, &out, &error)) << error;
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].id, 7);
  EXPECT_EQ(out[0].style, 0x40000000u | 0x00800000u | 0x10000000u | 0x40u);
  ASSERT_EQ(out[0].controls.size(), 2u);
  const ControlTemplate& button = out[0].controls[0];
  EXPECT_EQ(button.id, 0x10);
  EXPECT_EQ(button.text, "a\"b\"c\nd");
  EXPECT_EQ(button.style, 0x50000000u | 0x08000000u);  // the default tab stop taken away, disabled added
  const ControlTemplate& line = out[0].controls[1];
  EXPECT_EQ(line.id, -1);
  EXPECT_EQ(line.style, 0x40000010u);
  EXPECT_EQ(line.exStyle, 0x20000u);
}

TEST(TemplateReader, ATrailByteOfBackslashOrQuoteDoesNotEndOrEscapeAString) {
  // "ソ" is 0x83 0x5C and "ー" is 0x81 0x5B in code page 932; a byte-wise reader would
  // take the 0x5C for an escape of the closing quote.
  const std::string so = "\x83\x5C";
  const std::string script = "5 DIALOG 0, 0, 10, 10\nBEGIN\n LTEXT \"" + so + "\", 1, 0, 0, 1, 1\nEND\n";
  std::vector<DialogTemplate> out;
  std::string error;
  ASSERT_TRUE(ParseDialogTemplates(script, "", &out, &error)) << error;
  ASSERT_EQ(out.at(0).controls.size(), 1u);
  EXPECT_EQ(out[0].controls[0].text, so);
  EXPECT_EQ(out[0].style, 0x80880000u);  // without STYLE: pop-up, border, system menu
}

TEST(TemplateReader, NamesTheLineOfEveryError) {
  struct Case {
    const char* script;
    const char* message;
  } cases[] = {
      {"5 DIALOG 0, 0, 1, 1\nBEGIN\n LTEXT \"open, 1, 0, 0, 1, 1\nEND\n", "line 3: unterminated string"},
      {"5 DIALOG 0, 0, 1, 1\nBEGIN\n LTEXT \"a\", IDC_NOPE, 0, 0, 1, 1\nEND\n", "line 3: unknown symbol IDC_NOPE"},
      {"5 DIALOG 0, 0, 1, 1\nBEGIN\n LISTBOX 1, 0, 0, 1, 1\nEND\n", "line 3: unknown control statement LISTBOX"},
      {"5 DIALOG 0, 0, 1\nBEGIN\nEND\n", "line 2: ',' expected"},
      {"5 DIALOG 0, 0, 1, 1\nBEGIN\n LTEXT \"a\", 1, 0, 0, 1, 1\n", "line 4: END expected"},
  };
  for (const Case& c : cases) {
    std::vector<DialogTemplate> out;
    std::string error;
    EXPECT_FALSE(ParseDialogTemplates(c.script, "", &out, &error)) << c.script;
    EXPECT_EQ(error, c.message) << c.script;
  }
}

}  // namespace
}  // namespace srtm::ui

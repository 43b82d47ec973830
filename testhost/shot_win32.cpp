#include "testhost/shot_win32.h"

#include <algorithm>
#include <map>
#include <memory>

#include "testhost/win32_windows.h"

namespace srtm::host {
namespace {

// A 32-bit top-down DIB selected into a memory DC.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const std::uint32_t*>(bits);
    ReleaseDC(nullptr, screen);
    if (bitmap_) old_ = SelectObject(dc_, bitmap_);
  }
  ~Canvas() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  bool ok() const { return bits_ != nullptr; }
  HDC dc() const { return dc_; }
  // 0x00RRGGBB.
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] &
           0xFFFFFFu;
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  const std::uint32_t* bits_ = nullptr;
};

std::uint32_t ImageAt(const RgbImage& image, int x, int y) {
  const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 3;
  return static_cast<std::uint32_t>(image.rgb[i]) << 16 | static_cast<std::uint32_t>(image.rgb[i + 1]) << 8 | image.rgb[i + 2];
}

std::uint32_t SysColor(int index) {
  const COLORREF c = GetSysColor(index);
  return static_cast<std::uint32_t>(GetRValue(c)) << 16 | static_cast<std::uint32_t>(GetGValue(c)) << 8 | GetBValue(c);
}

std::string Utf8(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring TextOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(GetWindowTextW(window, &text[0], length + 1), 0)));
  return text;
}

// The characters a control draws: line breaks and tabs are layout, and unless the
// control shows prefixes literally an '&' marks the next character as its mnemonic.
std::wstring DrawnCharacters(const std::wstring& text, bool prefixes) {
  std::wstring out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (prefixes && c == L'&' && i + 1 < text.size()) c = text[++i];
    if (c >= 0x20) out += c;
  }
  return out;
}

// What the system writes when a character has no place in the code page the text went
// through: a text that should be Japanese and shows one of these was mangled on its way.
bool Mangled(const std::wstring& text) {
  return text.find_first_of(L"?\uFFFD\u30FB") != std::wstring::npos;
}

std::string Describe(HWND control) {
  std::string out = "control " + std::to_string(GetDlgCtrlID(control));
  if (const int dialog = TemplateOf(GetParent(control))) out += "@" + std::to_string(dialog);
  return out;
}

HFONT FontOf(HWND window) {
  auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

// A DC of `window` with its font selected, released on destruction.
class FontDc {
 public:
  FontDc(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) { old_ = SelectObject(dc_, font); }
  ~FontDc() {
    SelectObject(dc_, old_);
    ReleaseDC(window_, dc_);
  }
  FontDc(const FontDc&) = delete;
  FontDc& operator=(const FontDc&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
  HGDIOBJ old_;
};

std::string FamilyOf(HDC dc) {
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  const UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
  if (size == 0) return Utf8(face);
  std::unique_ptr<char[]> buffer(new char[size]);
  auto* metrics = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.get());
  if (!GetOutlineTextMetricsW(dc, size, metrics)) return Utf8(face);
  return Utf8(reinterpret_cast<const wchar_t*>(buffer.get() + reinterpret_cast<std::uintptr_t>(metrics->otmpFamilyName)));
}

// Characters of `text` the selected font has no glyph for.
std::wstring MissingGlyphs(HDC dc, const std::wstring& text) {
  if (text.empty()) return L"";
  std::vector<WORD> glyphs(text.size());
  if (GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
      GDI_ERROR) {
    return text;
  }
  std::wstring missing;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (glyphs[i] == 0xFFFF && missing.find(text[i]) == std::wstring::npos) missing += text[i];
  }
  return missing;
}

// The DrawText format a static control of `style` draws its text with; false for a
// static that shows no text (a line, a frame, a picture).
bool StaticFormat(LONG style, UINT* format) {
  switch (style & SS_TYPEMASK) {
    case SS_LEFT: *format = DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK; break;
    case SS_CENTER: *format = DT_CENTER | DT_EXPANDTABS | DT_WORDBREAK; break;
    case SS_RIGHT: *format = DT_RIGHT | DT_EXPANDTABS | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: *format = DT_LEFT | DT_EXPANDTABS; break;
    case SS_SIMPLE: *format = DT_LEFT | DT_SINGLELINE; break;
    default: return false;
  }
  if (style & SS_NOPREFIX) *format |= DT_NOPREFIX;
  return true;
}

struct Region {
  int x, y, width, height;  // in the picture
};

// The control's client area in the picture of `top`, cut to the picture.
Region RegionOf(HWND control, HWND top, const RgbImage& image) {
  RECT topRect, client;
  GetWindowRect(top, &topRect);
  GetClientRect(control, &client);
  POINT origin{0, 0};
  ClientToScreen(control, &origin);
  Region r{origin.x - topRect.left, origin.y - topRect.top, client.right, client.bottom};
  const int right = std::min(r.x + r.width, image.width), bottom = std::min(r.y + r.height, image.height);
  r.x = std::max(r.x, 0);
  r.y = std::max(r.y, 0);
  r.width = std::max(right - r.x, 0);
  r.height = std::max(bottom - r.y, 0);
  return r;
}

// How much the ink of the picture's region and the ink of a fresh rendering of the
// same text agree: shared ink over all ink (1 for the same drawing, 0 for none in
// common). Ink is every pixel of another colour than the background.
double InkAgreement(const RgbImage& image, const Region& r, const Canvas& reference, std::uint32_t background,
                    int* inkShown, int* inkExpected) {
  int both = 0, either = 0;
  *inkShown = *inkExpected = 0;
  for (int y = 0; y < r.height; ++y) {
    for (int x = 0; x < r.width; ++x) {
      const bool shown = ImageAt(image, r.x + x, r.y + y) != background;
      const bool expected = reference.At(x, y) != background;
      *inkShown += shown;
      *inkExpected += expected;
      both += shown && expected;
      either += shown || expected;
    }
  }
  return either ? static_cast<double>(both) / either : 1.0;
}

void CheckStatic(HWND control, HWND top, const RgbImage& image, const std::wstring& text, UINT format,
                 std::vector<std::string>* problems) {
  RECT client;
  GetClientRect(control, &client);
  const HFONT font = FontOf(control);
  {
    FontDc dc(control, font);
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc.dc(), text.c_str(), -1, &needed, format | DT_CALCRECT);
    if (needed.right > client.right || needed.bottom > client.bottom) {
      problems->push_back(Describe(control) + ": \"" + Utf8(text) + "\" needs " + std::to_string(needed.right) + " x " +
                          std::to_string(needed.bottom) + " pixels and is cut to " + std::to_string(client.right) +
                          " x " + std::to_string(client.bottom));
    }
  }
  // The same text drawn afresh as the static control draws it (dialog face colour,
  // window text or grey text) must cover the same pixels as the picture shows.
  const Region r = RegionOf(control, top, image);
  if (r.width == 0 || r.height == 0) return;
  Canvas reference(r.width, r.height);
  if (!reference.ok()) return;
  const std::uint32_t face = SysColor(COLOR_3DFACE);
  HBRUSH brush = GetSysColorBrush(COLOR_3DFACE);
  RECT area{0, 0, client.right, client.bottom};
  FillRect(reference.dc(), &area, brush);
  HGDIOBJ old = SelectObject(reference.dc(), font);
  SetBkColor(reference.dc(), GetSysColor(COLOR_3DFACE));
  SetTextColor(reference.dc(), GetSysColor(IsWindowEnabled(control) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  DrawTextW(reference.dc(), text.c_str(), -1, &area, format);
  SelectObject(reference.dc(), old);
  int shown = 0, expected = 0;
  const double agreement = InkAgreement(image, r, reference, face, &shown, &expected);
  if (expected == 0) {
    problems->push_back(Describe(control) + ": \"" + Utf8(text) + "\" draws no ink at all");
  } else if (agreement < 0.9) {
    char line[160];
    wsprintfA(line, ": the picture shows %d ink pixels, a rendering of the text %d, %d%% of them in common", shown,
              expected, static_cast<int>(agreement * 100));
    problems->push_back(Describe(control) + line + " (\"" + Utf8(text) + "\")");
  }
}

void CheckButton(HWND control, const std::wstring& text, LONG style, std::vector<std::string>* problems) {
  const LONG type = style & BS_TYPEMASK;
  const bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE ||
                   type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
  if (!box && type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON) return;
  RECT client;
  GetClientRect(control, &client);
  FontDc dc(control, FontOf(control));
  RECT needed{0, 0, 0, 0};
  DrawTextW(dc.dc(), text.c_str(), -1, &needed, DT_SINGLELINE | DT_CALCRECT);
  // A push button keeps a 2-pixel frame on each side; a check box gives its box and a
  // gap the room left of the text.
  const int room = box ? client.right - (GetSystemMetrics(SM_CXMENUCHECK) + 3) : client.right - 4;
  if (needed.right > room || needed.bottom > client.bottom) {
    problems->push_back(Describe(control) + ": \"" + Utf8(text) + "\" needs " + std::to_string(needed.right) + " x " +
                        std::to_string(needed.bottom) + " pixels and has " + std::to_string(room) + " x " +
                        std::to_string(client.bottom));
  }
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

}  // namespace

RgbImage CaptureTopLevel(HWND window) {
  HWND top = GetAncestor(window, GA_ROOT);
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  GdiFlush();
  RECT rect;
  GetWindowRect(top, &rect);
  RgbImage image;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return image;
  Canvas canvas(width, height);
  if (!canvas.ok()) return image;
  // The window's own pixels, children included: what the system shows of it, whether
  // or not the display has caught up yet.
  HDC pixels = GetWindowDC(top);
  BitBlt(canvas.dc(), 0, 0, width, height, pixels, 0, 0, SRCCOPY);
  ReleaseDC(top, pixels);
  image.width = width;
  image.height = height;
  image.rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  std::size_t i = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = canvas.At(x, y);
      image.rgb[i++] = static_cast<std::uint8_t>(c >> 16);
      image.rgb[i++] = static_cast<std::uint8_t>(c >> 8);
      image.rgb[i++] = static_cast<std::uint8_t>(c);
    }
  }
  return image;
}

std::vector<std::string> CheckLegible(HWND top, const RgbImage& image) {
  std::vector<std::string> problems;
  if (image.width == 0 || image.height == 0) return {"nothing could be read from the screen"};

  // Blank: one colour, or next to no pixels that differ from the commonest.
  std::map<std::uint32_t, int> colours;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) ++colours[ImageAt(image, x, y)];
  }
  int commonest = 0;
  for (const auto& c : colours) commonest = std::max(commonest, c.second);
  const int pixels = image.width * image.height;
  if (colours.size() < 3 || pixels - commonest < pixels / 200) problems.push_back("the picture is blank");

  const std::wstring title = TextOf(top);
  if (Mangled(title)) problems.push_back("the title reads \"" + Utf8(title) + "\"");

  std::vector<HWND> controls;
  EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&controls));
  for (HWND control : controls) {
    if (!IsWindowVisible(control)) continue;
    const std::string kind = [&] {
      char name[32] = {};
      GetClassNameA(control, name, sizeof name);
      return std::string(name);
    }();
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    UINT format = 0;
    const bool isStatic = kind == "Static" && StaticFormat(style, &format);
    const bool isButton = kind == "Button";
    if (!isStatic && !isButton && kind != "Edit") continue;
    const std::wstring text = TextOf(control);
    if (text.empty()) continue;
    if (Mangled(text)) {
      problems.push_back(Describe(control) + " reads \"" + Utf8(text) + "\"");
      continue;
    }
    {
      FontDc dc(control, FontOf(control));
      const bool prefixes = isButton || (isStatic && !(format & DT_NOPREFIX));
      const std::wstring missing = MissingGlyphs(dc.dc(), DrawnCharacters(text, prefixes));
      if (!missing.empty()) {
        problems.push_back(Describe(control) + ": the font " + FamilyOf(dc.dc()) + " has no glyph for \"" +
                           Utf8(missing) + "\"");
        continue;
      }
    }
    if (isStatic) CheckStatic(control, top, image, text, format, &problems);
    if (isButton) CheckButton(control, text, style, &problems);
  }
  return problems;
}

bool DrawnInFamily(HWND window, const std::string& family, std::string* why) {
  HWND texted = window;
  std::vector<HWND> controls;
  EnumChildWindows(window, Collect, reinterpret_cast<LPARAM>(&controls));
  if (!SendMessageW(window, WM_GETFONT, 0, 0) && !controls.empty()) texted = controls.front();
  FontDc dc(texted, FontOf(texted));
  // The font's own name table names its family, in English and in other languages,
  // whatever name the dialog asked for.
  const DWORD nameTag = 0x656D616E;  // "name", as GetFontData takes table tags
  const DWORD size = GetFontData(dc.dc(), nameTag, 0, nullptr, 0);
  const std::string used = FamilyOf(dc.dc());
  if (size == GDI_ERROR || size == 0) {
    *why = "the font " + used + " has no name table";
    return false;
  }
  std::string table(size, '\0');
  GetFontData(dc.dc(), nameTag, 0, &table[0], size);
  std::string wide;  // the family in UTF-16BE, as the name table stores Windows names
  for (char c : family) {
    wide += '\0';
    wide += c;
  }
  if (table.find(wide) != std::string::npos || table.find(family) != std::string::npos) return true;
  *why = "the dialog's text is drawn in " + used;
  return false;
}

}  // namespace srtm::host

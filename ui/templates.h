// Dialog templates read from resource-script text (.rc), for the headless window system.
//
// The plug-in's templates have one source, res/srtm.rc. The Win32 build compiles it with
// windres; the headless world reads the same text (converted to code page 932 at build
// time) with ParseDialogTemplates, so both worlds build their dialogs from the same IDs,
// kinds, positions, texts, styles and fonts.
//
// The reader understands the subset of the resource language the plug-in uses: #define
// lines (resource.h), LANGUAGE, DIALOG/DIALOGEX with STYLE, EXSTYLE, CAPTION and FONT,
// the control statements CONTROL, PUSHBUTTON, DEFPUSHBUTTON, AUTOCHECKBOX, CHECKBOX,
// LTEXT, CTEXT, RTEXT, GROUPBOX and EDITTEXT, style expressions with '|', NOT and
// parentheses, and strings with the escapes \n \t \\ \" and "". Every other resource
// (VERSIONINFO, ...) is skipped. Styles get the defaults that the resource compiler adds.
#pragma once

#include <string>
#include <vector>

namespace srtm::ui {

struct ControlTemplate {
  int id = 0;             // -1 for IDC_STATIC
  std::string className;  // "Button", "Edit", "Static", "msctls_progress32", ...
  std::string text;       // code page 932 (the text the .rc was converted to)
  unsigned style = 0;     // with the statement's default styles
  unsigned exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
};

struct DialogTemplate {
  int id = 0;
  unsigned style = 0;
  unsigned exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::string caption;
  int pointSize = 0;     // 0 without FONT
  std::string faceName;
  std::vector<ControlTemplate> controls;  // template order, which is the tab order
};

// Reads every dialog template of `script`, with the symbols of `header` (#define lines)
// and the usual Windows constants. Returns false with a message naming the line when the
// text cannot be read; `out` then holds the templates read before the error.
bool ParseDialogTemplates(const std::string& script, const std::string& header, std::vector<DialogTemplate>* out,
                          std::string* error);

// The plug-in's own templates, read once from the embedded res/srtm.rc (code page 932).
// Null when `id` is not one of them.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace srtm::ui

#include "ui/templates.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>

#include "platform/platform.h"

namespace srtm::ui {
namespace {

// The Windows constants a dialog script may name (windows.h, commctrl.h).
const std::map<std::string, long>& WindowsConstants() {
  static const std::map<std::string, long> constants = {
      {"IDOK", 1}, {"IDCANCEL", 2}, {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5}, {"IDYES", 6}, {"IDNO", 7},
      {"WS_OVERLAPPED", 0}, {"WS_POPUP", 0x80000000L}, {"WS_CHILD", 0x40000000L}, {"WS_MINIMIZE", 0x20000000L},
      {"WS_VISIBLE", 0x10000000L}, {"WS_DISABLED", 0x08000000L}, {"WS_CLIPSIBLINGS", 0x04000000L},
      {"WS_CLIPCHILDREN", 0x02000000L}, {"WS_MAXIMIZE", 0x01000000L}, {"WS_CAPTION", 0x00C00000L},
      {"WS_BORDER", 0x00800000L}, {"WS_DLGFRAME", 0x00400000L}, {"WS_VSCROLL", 0x00200000L},
      {"WS_HSCROLL", 0x00100000L}, {"WS_SYSMENU", 0x00080000L}, {"WS_THICKFRAME", 0x00040000L},
      {"WS_GROUP", 0x00020000L}, {"WS_TABSTOP", 0x00010000L}, {"WS_MINIMIZEBOX", 0x00020000L},
      {"WS_MAXIMIZEBOX", 0x00010000L},
      {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_NOPARENTNOTIFY", 0x4}, {"WS_EX_TOPMOST", 0x8},
      {"WS_EX_TRANSPARENT", 0x20}, {"WS_EX_CLIENTEDGE", 0x200}, {"WS_EX_CONTROLPARENT", 0x10000},
      {"WS_EX_STATICEDGE", 0x20000},
      {"DS_ABSALIGN", 0x1}, {"DS_SYSMODAL", 0x2}, {"DS_3DLOOK", 0x4}, {"DS_FIXEDSYS", 0x8},
      {"DS_NOFAILCREATE", 0x10}, {"DS_LOCALEDIT", 0x20}, {"DS_SETFONT", 0x40}, {"DS_MODALFRAME", 0x80},
      {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200}, {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800},
      {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x48},
      {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1}, {"BS_CHECKBOX", 0x2}, {"BS_AUTOCHECKBOX", 0x3},
      {"BS_RADIOBUTTON", 0x4}, {"BS_3STATE", 0x5}, {"BS_AUTO3STATE", 0x6}, {"BS_GROUPBOX", 0x7},
      {"BS_AUTORADIOBUTTON", 0x9}, {"BS_LEFTTEXT", 0x20}, {"BS_MULTILINE", 0x2000}, {"BS_FLAT", 0x8000},
      {"ES_LEFT", 0x0}, {"ES_CENTER", 0x1}, {"ES_RIGHT", 0x2}, {"ES_MULTILINE", 0x4}, {"ES_UPPERCASE", 0x8},
      {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20}, {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80},
      {"ES_NOHIDESEL", 0x100}, {"ES_READONLY", 0x800}, {"ES_WANTRETURN", 0x1000}, {"ES_NUMBER", 0x2000},
      {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_ICON", 0x3}, {"SS_BLACKRECT", 0x4},
      {"SS_GRAYRECT", 0x5}, {"SS_WHITERECT", 0x6}, {"SS_BLACKFRAME", 0x7}, {"SS_LEFTNOWORDWRAP", 0xC},
      {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11}, {"SS_ETCHEDFRAME", 0x12}, {"SS_NOPREFIX", 0x80},
      {"SS_SUNKEN", 0x1000},
      {"PBS_SMOOTH", 0x1}, {"PBS_VERTICAL", 0x4},
      {"LANG_NEUTRAL", 0x0}, {"LANG_ENGLISH", 0x9}, {"LANG_JAPANESE", 0x11}, {"SUBLANG_NEUTRAL", 0x0},
      {"SUBLANG_DEFAULT", 0x1},
  };
  return constants;
}

constexpr unsigned kWsChild = 0x40000000u;
constexpr unsigned kWsVisible = 0x10000000u;
constexpr unsigned kWsCaption = 0x00C00000u;
constexpr unsigned kWsBorder = 0x00800000u;
constexpr unsigned kWsSysMenu = 0x00080000u;
constexpr unsigned kWsPopup = 0x80000000u;
constexpr unsigned kWsGroup = 0x00020000u;
constexpr unsigned kWsTabStop = 0x00010000u;
constexpr unsigned kDsSetFont = 0x40u;

// A control statement other than CONTROL: its class, its default style, and whether it
// starts with a text (EDITTEXT does not).
struct Statement {
  const char* className;
  unsigned style;
  bool hasText;
};

const Statement* FindStatement(const std::string& word) {
  static const std::map<std::string, Statement> statements = {
      {"PUSHBUTTON", {"Button", 0x0 | kWsTabStop, true}},
      {"DEFPUSHBUTTON", {"Button", 0x1 | kWsTabStop, true}},
      {"CHECKBOX", {"Button", 0x2 | kWsTabStop, true}},
      {"AUTOCHECKBOX", {"Button", 0x3 | kWsTabStop, true}},
      {"GROUPBOX", {"Button", 0x7, true}},
      {"LTEXT", {"Static", 0x0 | kWsGroup, true}},
      {"CTEXT", {"Static", 0x1 | kWsGroup, true}},
      {"RTEXT", {"Static", 0x2 | kWsGroup, true}},
      {"EDITTEXT", {"Edit", 0x0 | kWsBorder | kWsTabStop, false}},
  };
  auto it = statements.find(word);
  return it == statements.end() ? nullptr : &it->second;
}

enum class Tok { kEnd, kWord, kNumber, kString, kPunct };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;  // word, string contents or the punctuation character
  long number = 0;
  int line = 0;
};

// Splits a script into tokens; #define lines add to `defines`, other directives are skipped.
class Lexer {
 public:
  Lexer(const std::string& text, std::map<std::string, long>* defines) : text_(text), defines_(defines) {}

  bool Next(Token* token, std::string* error) {
    SkipBlanksAndComments();
    token->line = line_;
    if (pos_ >= text_.size()) {
      token->kind = Tok::kEnd;
      return true;
    }
    const unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c == '"') return ReadString(token, error);
    if (std::isdigit(c)) return ReadNumber(token, error);
    if (std::isalpha(c) || c == '_') {
      std::size_t start = pos_;
      while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
      token->kind = Tok::kWord;
      token->text = text_.substr(start, pos_ - start);
      return true;
    }
    if (c == ',' || c == '|' || c == '(' || c == ')' || c == '-' || c == '+') {
      token->kind = Tok::kPunct;
      token->text = std::string(1, static_cast<char>(c));
      ++pos_;
      return true;
    }
    *error = "line " + std::to_string(line_) + ": unexpected character";
    return false;
  }


 private:
  void SkipBlanksAndComments() {
    bool lineStart = pos_ == 0 || text_[pos_ - 1] == '\n';
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        lineStart = true;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '*') {
        std::size_t end = text_.find("*/", pos_ + 2);
        for (std::size_t i = pos_; i < (end == std::string::npos ? text_.size() : end); ++i) line_ += text_[i] == '\n';
        pos_ = end == std::string::npos ? text_.size() : end + 2;
      } else if (c == '#' && lineStart) {
        std::size_t end = text_.find('\n', pos_);
        Directive(text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_));
        pos_ = end == std::string::npos ? text_.size() : end;
      } else {
        return;
      }
    }
  }

  // "#define NAME value" adds a symbol; every other directive (#include, #pragma, #if...)
  // is ignored: the constants of the Windows headers are built in.
  void Directive(const std::string& line) {
    std::string rest = line.substr(1);
    std::size_t i = rest.find_first_not_of(" \t");
    if (i == std::string::npos || rest.compare(i, 6, "define") != 0) return;
    i = rest.find_first_not_of(" \t", i + 6);
    if (i == std::string::npos) return;
    std::size_t nameEnd = rest.find_first_of(" \t\r(", i);
    std::string name = rest.substr(i, nameEnd == std::string::npos ? std::string::npos : nameEnd - i);
    if (nameEnd == std::string::npos || rest[nameEnd] == '(') return;  // no value, or a macro with arguments
    std::string value = rest.substr(nameEnd);
    std::string digits;
    for (char ch : value) {
      if (ch == '/') break;  // a trailing comment
      if (!std::isspace(static_cast<unsigned char>(ch)) && ch != '(' && ch != ')') digits += ch;
    }
    if (digits.empty()) return;
    char* end = nullptr;
    long number = std::strtol(digits.c_str(), &end, 0);
    if (end && (*end == '\0' || *end == 'L' || *end == 'l')) (*defines_)[name] = number;
  }

  bool ReadNumber(Token* token, std::string* error) {
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    unsigned long value = std::strtoul(start, &end, 0);
    pos_ += static_cast<std::size_t>(end - start);
    while (pos_ < text_.size() && (text_[pos_] == 'L' || text_[pos_] == 'l' || text_[pos_] == 'U' || text_[pos_] == 'u')) ++pos_;
    token->kind = Tok::kNumber;
    token->number = static_cast<long>(value);
    return true;
  }

  // A quoted string in code page 932: the trail byte of a double-byte character is never
  // taken for a backslash or a quote.
  bool ReadString(Token* token, std::string* error) {
    ++pos_;
    std::string out;
    while (true) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') {
        *error = "line " + std::to_string(line_) + ": unterminated string";
        return false;
      }
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (platform::IsLeadByte(c) && pos_ + 1 < text_.size()) {
        out += text_.substr(pos_, 2);
        pos_ += 2;
      } else if (c == '"') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
          out += '"';
          pos_ += 2;
        } else {
          ++pos_;
          break;
        }
      } else if (c == '\\' && pos_ + 1 < text_.size()) {
        const char e = text_[pos_ + 1];
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e == '0' ? '\0' : e;
        pos_ += 2;
      } else {
        out += static_cast<char>(c);
        ++pos_;
      }
    }
    token->kind = Tok::kString;
    token->text = out;
    return true;
  }

  const std::string& text_;
  std::map<std::string, long>* defines_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

class Parser {
 public:
  Parser(const std::string& script, std::vector<DialogTemplate>* out) : lexer_(script, &defines_), out_(out) {}

  void AddHeader(const std::string& header) {
    std::map<std::string, long> defines;
    Lexer headerLexer(header, &defines);
    Token token;
    std::string ignored;
    while (headerLexer.Next(&token, &ignored) && token.kind != Tok::kEnd) {
    }
    defines_.insert(defines.begin(), defines.end());
  }

  bool Run(std::string* error) {
    if (!Advance()) return Fail(error);
    while (token_.kind != Tok::kEnd) {
      if (!Resource()) return Fail(error);
    }
    return true;
  }

 private:
  bool Fail(std::string* error) {
    *error = error_;
    return false;
  }
  bool Error(const std::string& what) {
    if (error_.empty()) error_ = "line " + std::to_string(token_.line) + ": " + what;
    return false;
  }
  bool Advance() { return lexer_.Next(&token_, &error_); }
  bool IsWord(const char* word) const { return token_.kind == Tok::kWord && token_.text == word; }
  bool IsPunct(char c) const { return token_.kind == Tok::kPunct && token_.text[0] == c; }
  bool Comma() {
    if (!IsPunct(',')) return Error("',' expected");
    return Advance();
  }
  // An optional comma before an optional argument; true when an argument follows.
  bool OptionalComma(bool* present) {
    *present = IsPunct(',');
    return !*present || Advance();
  }

  bool Symbol(const std::string& name, long* value) {
    auto d = defines_.find(name);
    if (d != defines_.end()) {
      *value = d->second;
      return true;
    }
    auto c = WindowsConstants().find(name);
    if (c != WindowsConstants().end()) {
      *value = c->second;
      return true;
    }
    return Error("unknown symbol " + name);
  }

  // term := ['-'] number | symbol | '(' expr ')'
  bool Term(long* value) {
    bool negative = false;
    if (IsPunct('-')) {
      negative = true;
      if (!Advance()) return false;
    }
    if (token_.kind == Tok::kNumber) {
      *value = token_.number;
    } else if (token_.kind == Tok::kWord) {
      if (!Symbol(token_.text, value)) return false;
    } else if (IsPunct('(')) {
      unsigned set = 0, clear = 0;
      if (!Advance() || !StyleExpression(&set, &clear)) return false;
      if (!IsPunct(')')) return Error("')' expected");
      *value = static_cast<long>(set & ~clear);
    } else {
      return Error("number expected");
    }
    if (negative) *value = -*value;
    return Advance();
  }

  bool Number(int* value) {
    long v = 0;
    if (!Term(&v)) return false;
    while (IsPunct('+') || IsPunct('|')) {
      const char op = token_.text[0];
      long w = 0;
      if (!Advance() || !Term(&w)) return false;
      v = op == '+' ? v + w : (v | w);
    }
    *value = static_cast<int>(v);
    return true;
  }

  // expr := ['NOT'] term { '|' ['NOT'] term }: bits to set and bits to clear from the
  // statement's default style.
  bool StyleExpression(unsigned* set, unsigned* clear) {
    while (true) {
      bool negate = false;
      if (IsWord("NOT")) {
        negate = true;
        if (!Advance()) return false;
      }
      long v = 0;
      if (!Term(&v)) return false;
      (negate ? *clear : *set) |= static_cast<unsigned>(v);
      if (!negate) *clear &= ~static_cast<unsigned>(v);
      if (!IsPunct('|')) return true;
      if (!Advance()) return false;
    }
  }

  bool String(std::string* text) {
    if (token_.kind != Tok::kString) return Error("string expected");
    *text = token_.text;
    return Advance();
  }

  bool Rect(int* x, int* y, int* cx, int* cy) {
    return Number(x) && Comma() && Number(y) && Comma() && Number(cx) && Comma() && Number(cy);
  }

  bool Resource() {
    if (IsWord("LANGUAGE")) {
      int primary = 0, sub = 0;
      return Advance() && Number(&primary) && Comma() && Number(&sub);
    }
    int id = 0;
    if (token_.kind == Tok::kWord && !defines_.count(token_.text) && !WindowsConstants().count(token_.text)) {
      if (!Advance()) return false;  // a named resource, such as VS_VERSION_INFO
    } else if (!Number(&id)) {
      return false;
    }
    if (token_.kind != Tok::kWord) return Error("resource type expected");
    if (IsWord("DIALOG") || IsWord("DIALOGEX")) return Dialog(id);
    return SkipResource();
  }

  // Skips a resource this reader does not build: up to its first BEGIN, then to the
  // matching END.
  bool SkipResource() {
    while (!IsWord("BEGIN")) {
      if (token_.kind == Tok::kEnd) return Error("BEGIN expected");
      if (!Advance()) return false;
    }
    int depth = 0;
    do {
      if (token_.kind == Tok::kEnd) return Error("END expected");
      if (IsWord("BEGIN")) ++depth;
      if (IsWord("END")) --depth;
      if (!Advance()) return false;
    } while (depth > 0);
    return true;
  }

  bool Dialog(int id) {
    DialogTemplate dialog;
    dialog.id = id;
    dialog.style = kWsPopup | kWsBorder | kWsSysMenu;
    if (!Advance() || !Rect(&dialog.x, &dialog.y, &dialog.cx, &dialog.cy)) return false;
    bool helpId = false;
    if (!OptionalComma(&helpId)) return false;
    if (helpId) {
      int ignored = 0;
      if (!Number(&ignored)) return false;
    }
    while (!IsWord("BEGIN")) {
      if (IsWord("STYLE")) {
        unsigned set = 0, clear = 0;
        if (!Advance() || !StyleExpression(&set, &clear)) return false;
        dialog.style = set & ~clear;
      } else if (IsWord("EXSTYLE")) {
        unsigned set = 0, clear = 0;
        if (!Advance() || !StyleExpression(&set, &clear)) return false;
        dialog.exStyle = set & ~clear;
      } else if (IsWord("CAPTION")) {
        if (!Advance() || !String(&dialog.caption)) return false;
        dialog.style |= kWsCaption;
      } else if (IsWord("FONT")) {
        if (!Advance() || !Number(&dialog.pointSize) || !Comma() || !String(&dialog.faceName)) return false;
        for (int extra = 0; extra < 3 && IsPunct(','); ++extra) {  // weight, italic, charset
          int ignored = 0;
          if (!Advance() || !Number(&ignored)) return false;
        }
        dialog.style |= kDsSetFont;
      } else if (IsWord("LANGUAGE")) {
        int primary = 0, sub = 0;
        if (!Advance() || !Number(&primary) || !Comma() || !Number(&sub)) return false;
      } else {
        return Error("dialog option or BEGIN expected");
      }
    }
    if (!Advance()) return false;
    while (!IsWord("END")) {
      if (token_.kind == Tok::kEnd) return Error("END expected");
      ControlTemplate control;
      if (!Control(&control)) return false;
      dialog.controls.push_back(control);
    }
    if (!Advance()) return false;
    out_->push_back(dialog);
    return true;
  }

  bool Control(ControlTemplate* control) {
    if (token_.kind != Tok::kWord) return Error("control statement expected");
    const std::string word = token_.text;
    if (!Advance()) return false;
    unsigned set = 0, clear = 0;
    bool more = false;
    if (word == "CONTROL") {
      if (!String(&control->text) || !Comma() || !Number(&control->id) || !Comma()) return false;
      if (token_.kind == Tok::kString) {
        if (!String(&control->className)) return false;
      } else {
        return Error("control class expected");
      }
      if (!Comma() || !StyleExpression(&set, &clear) || !Comma()) return false;
      if (!Rect(&control->x, &control->y, &control->cx, &control->cy)) return false;
      control->style = (kWsChild | kWsVisible | set) & ~clear;
    } else {
      const Statement* statement = FindStatement(word);
      if (!statement) return Error("unknown control statement " + word);
      control->className = statement->className;
      if (statement->hasText && (!String(&control->text) || !Comma())) return false;
      if (!Number(&control->id) || !Comma() || !Rect(&control->x, &control->y, &control->cx, &control->cy)) return false;
      if (!OptionalComma(&more)) return false;
      if (more && !StyleExpression(&set, &clear)) return false;
      control->style = (kWsChild | kWsVisible | statement->style | set) & ~clear;
    }
    if (!OptionalComma(&more)) return false;
    if (more) {
      unsigned exSet = 0, exClear = 0;
      if (!StyleExpression(&exSet, &exClear)) return false;
      control->exStyle = exSet & ~exClear;
    }
    return true;
  }

  std::map<std::string, long> defines_;
  Lexer lexer_;
  std::vector<DialogTemplate>* out_;
  Token token_;
  std::string error_;
};

}  // namespace

bool ParseDialogTemplates(const std::string& script, const std::string& header, std::vector<DialogTemplate>* out,
                          std::string* error) {
  Parser parser(script, out);
  parser.AddHeader(header);
  return parser.Run(error);
}

}  // namespace srtm::ui

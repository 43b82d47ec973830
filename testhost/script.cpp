#include "testhost/script.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "testhost/maps.h"
#include "testhost/screen.h"
#include "testhost/xem_maps.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace srtm::host {

enum class Op {
  kMenu, kType, kCheck, kClick, kKey, kFolder, kFile,
  kWaitDialog, kWaitGone, kWaitText, kWaitProgress,
  kExpectDialog, kExpectNoDialog, kExpectText, kExpectCheck, kExpectEnabled, kExpectVisible,
  kExpectProgress, kExpectDefault, kExpectFocus, kExpectMenu, kExpectMain, kExpectMessage,
  kExpectSample, kShot, kExpectFont,
};

struct Script::Step {
  int line = 0;
  std::string source;
  Op op = Op::kClick;
  int id = 0;
  int dialog = 0;      // template qualifier of a control, 0 for any
  std::string text;    // code page 932
  bool flag = false;   // on / yes / enabled / chosen / cover
  int number = 0;
  double latitude = 0, longitude = 0;
};

std::string ScriptText(const std::string& utf8) {
#if defined(_WIN32)
  if (utf8.empty()) return utf8;
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], wide);
  const int bytes = WideCharToMultiByte(932, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(932, 0, w.data(), wide, &out[0], bytes, nullptr, nullptr);
  return out;
#else
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPtr = &out[0];
  std::size_t outLeft = out.size();
  iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
#endif
}

std::string ScriptWord(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

namespace {

// Splits a line into words; a double-quoted word keeps its blanks and has its escapes
// resolved. False for an unterminated quote.
bool Words(const std::string& line, std::vector<std::string>* words, std::vector<bool>* quoted) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
    } else if (line[i] == '#') {
      break;
    } else if (line[i] == '"') {
      std::string word;
      ++i;
      while (i < line.size() && line[i] != '"') {
        if (line[i] == '\\' && i + 1 < line.size()) {
          const char e = line[++i];
          word += e == 'n' ? '\n' : e == 't' ? '\t' : e;
        } else {
          word += line[i];
        }
        ++i;
      }
      if (i >= line.size()) return false;
      ++i;
      words->push_back(word);
      quoted->push_back(true);
    } else {
      const std::size_t end = line.find_first_of(" \t\r", i);
      words->push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
      quoted->push_back(false);
      i = end == std::string::npos ? line.size() : end;
    }
  }
  return true;
}

bool ParseNumber(const std::string& word, int* value) {
  if (word.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(word.c_str(), &end, 10);
  if (*end != '\0') return false;
  *value = static_cast<int>(v);
  return true;
}

// "30705" or "30705@30716".
bool ParseControl(const std::string& word, int* id, int* dialog) {
  const std::size_t at = word.find('@');
  if (at == std::string::npos) {
    *dialog = 0;
    return ParseNumber(word, id);
  }
  return ParseNumber(word.substr(0, at), id) && ParseNumber(word.substr(at + 1), dialog);
}

bool ParseDegrees(const std::string& word, double* value) {
  if (word.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(word.c_str(), &end);
  return *end == '\0' && std::isfinite(*value);
}

bool ParseFlag(const std::string& word, const char* yes, const char* no, bool* flag) {
  if (word == yes) {
    *flag = true;
    return true;
  }
  if (word == no) {
    *flag = false;
    return true;
  }
  return false;
}

// Reads one step; an empty string, or the reason the line cannot be read.
std::string ParseStep(const std::vector<std::string>& w, Script::Step* step) {
  const std::size_t n = w.size();
  const std::string& verb = w[0];
  auto control = [&](std::size_t i) { return i < n && ParseControl(w[i], &step->id, &step->dialog); };
  if (verb == "menu" && n == 2) {
    step->op = Op::kMenu;
    step->text = ScriptText(w[1]);
  } else if (verb == "type" && n == 3 && control(1)) {
    step->op = Op::kType;
    step->text = ScriptText(w[2]);
  } else if (verb == "check" && n == 3 && control(1) && ParseFlag(w[2], "on", "off", &step->flag)) {
    step->op = Op::kCheck;
  } else if (verb == "click" && n == 2 && control(1)) {
    step->op = Op::kClick;
  } else if (verb == "key" && n == 2 && ParseFlag(w[1], "enter", "esc", &step->flag)) {
    step->op = Op::kKey;
  } else if ((verb == "folder" || verb == "file") && n == 2) {
    step->op = verb == "folder" ? Op::kFolder : Op::kFile;
    step->flag = w[1] != "cancel";
    step->text = ScriptText(w[1]);
  } else if (verb == "wait" && n == 3 && (w[1] == "dialog" || w[1] == "gone") && ParseNumber(w[2], &step->number)) {
    step->op = w[1] == "dialog" ? Op::kWaitDialog : Op::kWaitGone;
  } else if (verb == "wait" && n == 4 && w[1] == "text" && control(2)) {
    step->op = Op::kWaitText;
    step->text = ScriptText(w[3]);
  } else if (verb == "wait" && n == 4 && w[1] == "progress" && control(2) && ParseNumber(w[3], &step->number)) {
    step->op = Op::kWaitProgress;
  } else if (verb == "shot" && n == 3 && ParseNumber(w[2], &step->number)) {
    step->op = Op::kShot;
    step->text = w[1];
  } else if (verb == "expect" && n >= 2) {
    const std::string& what = w[1];
    if (what == "dialog" && n == 3 && ParseNumber(w[2], &step->number)) {
      step->op = Op::kExpectDialog;
    } else if (what == "no" && n == 4 && w[2] == "dialog" && ParseNumber(w[3], &step->number)) {
      step->op = Op::kExpectNoDialog;
    } else if (what == "text" && n == 4 && control(2)) {
      step->op = Op::kExpectText;
      step->text = ScriptText(w[3]);
    } else if (what == "check" && n == 4 && control(2) && ParseFlag(w[3], "on", "off", &step->flag)) {
      step->op = Op::kExpectCheck;
    } else if (what == "enabled" && n == 4 && control(2) && ParseFlag(w[3], "yes", "no", &step->flag)) {
      step->op = Op::kExpectEnabled;
    } else if (what == "visible" && n == 4 && control(2) && ParseFlag(w[3], "yes", "no", &step->flag)) {
      step->op = Op::kExpectVisible;
    } else if (what == "progress" && n == 4 && control(2) && ParseNumber(w[3], &step->number)) {
      step->op = Op::kExpectProgress;
    } else if (what == "default" && n == 3 && control(2)) {
      step->op = Op::kExpectDefault;
    } else if (what == "focus" && n == 3 && control(2)) {
      step->op = Op::kExpectFocus;
    } else if (what == "menu" && n == 4 && ParseFlag(w[3], "enabled", "greyed", &step->flag)) {
      step->op = Op::kExpectMenu;
      step->text = ScriptText(w[2]);
    } else if (what == "main" && n == 3 && ParseFlag(w[2], "enabled", "disabled", &step->flag)) {
      step->op = Op::kExpectMain;
    } else if (what == "message" && n == 3) {
      step->op = Op::kExpectMessage;
      step->text = ScriptText(w[2]);
    } else if (what == "sample" && n == 6 && ParseFlag(w[2], "cover", "base", &step->flag) &&
               ParseDegrees(w[3], &step->latitude) && ParseDegrees(w[4], &step->longitude) &&
               ParseNumber(w[5], &step->number)) {
      step->op = Op::kExpectSample;
    } else if (what == "font" && n == 4 && ParseNumber(w[2], &step->number)) {
      step->op = Op::kExpectFont;
      step->text = w[3];
    } else {
      return "cannot read this expectation";
    }
  } else {
    return "cannot read this step";
  }
  return "";
}

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The block number of block row `row` and block column `column` (sub-digits 0), as the
// host writes it for its map sources.
std::int32_t BlockNumber(std::int32_t row, std::int32_t column) {
  return (row / 100) * 100000000 + (column / 100) * 1000000 + (row % 100) * 10000 + (column % 100) * 100;
}

// The sample nearest to `latitude`, `longitude` in the active base map (read through
// its map source, as the host reads the blocks it draws) or the active cover map (an
// XEM map, decoded by the host and passed through the XEM hook).
bool SampleAt(bool cover, double latitude, double longitude, std::int32_t* value, std::string* why) {
  const QLP_HANDLE map = cover ? QLP_GetActiveCoverMap() : QLP_GetActiveBaseMap();
  if (!map) {
    *why = cover ? "there is no active cover map" : "there is no active base map";
    return false;
  }
  double south, west, perDegreeY, perDegreeX;
  std::int32_t blockWidth, blockHeight, width, height;
  XemHeader header;
  OpenedMap opened;
  if (cover) {
    if (!GetXemHeader(map, &header)) {
      *why = "the active cover map is not an XEM map";
      return false;
    }
    south = header.southEdge / 360000.0;
    west = header.westEdge / 360000.0;
    perDegreeY = header.resolutionY / 100.0;
    perDegreeX = header.resolutionX / 100.0;
    blockWidth = header.blockWidth;
    blockHeight = header.blockHeight;
    width = header.gridWidth;
    height = header.gridHeight;
  } else {
    if (!GetOpenedMap(map, &opened) || opened.width <= 0) {
      *why = "the active base map is not served by a map source";
      return false;
    }
    south = opened.south;
    west = opened.west;
    perDegreeY = opened.samplesPerDegreeY;
    perDegreeX = opened.samplesPerDegreeX;
    blockWidth = blockHeight = 320;
    width = opened.width;
    height = opened.height;
  }
  // The map's edges lie half a sample outside its outer samples.
  const double row = std::floor((latitude - south) * perDegreeY);
  const double column = std::floor((longitude - west) * perDegreeX);
  if (!(row >= 0 && row < height && column >= 0 && column < width) || blockWidth <= 0 || blockHeight <= 0) {
    *why = "the position lies outside the map";
    return false;
  }
  const auto r = static_cast<std::int32_t>(row), c = static_cast<std::int32_t>(column);
  const std::size_t at = static_cast<std::size_t>(r % blockHeight) * static_cast<std::size_t>(blockWidth) +
                         static_cast<std::size_t>(c % blockWidth);
  if (cover) {
    std::vector<std::uint16_t> samples;
    if (!ReadXemBlock(map, c / blockWidth, r / blockHeight, &samples, why)) return false;
    *value = samples.at(at);
  } else {
    std::vector<std::int16_t> samples;
    if (!ReadMapBlock(map, BlockNumber(r / blockHeight, c / blockWidth + 1), &samples)) {
      *why = "the map source did not serve the block";
      return false;
    }
    *value = samples.at(at);
  }
  return true;
}

bool IsWait(Op op) {
  return op == Op::kWaitDialog || op == Op::kWaitGone || op == Op::kWaitText || op == Op::kWaitProgress;
}
bool IsAction(Op op) {
  return op == Op::kMenu || op == Op::kType || op == Op::kCheck || op == Op::kClick || op == Op::kKey;
}

}  // namespace

Script::Script(const std::string& text, std::vector<std::pair<std::string, std::string>> names)
    : screen_(MakeScreen()) {
  // Longer names first, so that $OUT does not take the start of $OUTPUT.
  std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::vector<std::string> words;
    std::vector<bool> quoted;
    Step step;
    step.line = number;
    step.source = line.substr(line.find_first_not_of(" \t") == std::string::npos ? 0 : line.find_first_not_of(" \t"));
    if (!Words(line, &words, &quoted)) {
      Error(step, "unterminated quote");
      continue;
    }
    if (words.empty()) continue;
    const std::string problem = ParseStep(words, &step);
    if (!problem.empty()) {
      Error(step, problem);
      continue;
    }
    for (const auto& name : names) {
      const std::string word = "$" + name.first;
      for (std::size_t at = step.text.find(word); at != std::string::npos;
           at = step.text.find(word, at + name.second.size())) {
        step.text.replace(at, word.size(), name.second);
      }
    }
    steps_.push_back(step);
  }
  stopped_ = !errors_.empty();
}

Script::~Script() {
  // A script that goes away stops acting.
  User* current = SetUser(nullptr);
  if (current != this) SetUser(current);
}

bool Script::finished() const { return next_ >= steps_.size(); }

std::string Script::Report() const {
  std::string out;
  for (const std::string& e : errors_) out += e + "\n";
  if (out.empty()) out = "(no errors)\n";
  return out;
}

void Script::Error(const Step& step, const std::string& what) {
  errors_.push_back("line " + std::to_string(step.line) + " (" + step.source + "): " + what);
}

bool Script::Run() {
  User* previous = SetUser(this);
  while (!stopped_ && next_ < steps_.size()) {
    if (RunDue()) continue;
    if (stopped_ || next_ >= steps_.size()) break;
    if (!screen_->Idle()) {
      Error(steps_[next_], "waits for what never happens");
      stopped_ = true;
    }
  }
  SetUser(previous);
  return ok() && finished();
}

bool Script::RunDue() {
  // A file dialog waits for its answer before any step can see the screen again.
  if (screen_->AnswerShownFileDialog()) return true;
  return RunSteps(true);
}

bool Script::Look() { return RunSteps(false); }

bool Script::RunSteps(bool actions) {
  bool acted = false;
  while (!stopped_ && next_ < steps_.size()) {
    const Step& step = steps_[next_];
    if (IsWait(step.op) && !Ready(step)) return acted;
    if (!actions && IsAction(step.op)) return acted;
    ++next_;  // first: the step may hand control to the user again (a modal loop, a pump)
    log_.push_back("line " + std::to_string(step.line) + ": " + step.source);
    Execute(step);
    acted = true;
    // One action a turn: the system answers it (a dialog ends, work returns) before the
    // user looks again, as it would for a person.
    if (IsAction(step.op)) return true;
  }
  return acted;
}

bool Script::Ready(const Step& step) {
  bool shown = false;
  for (const auto& dialog : screen_->Dialogs()) shown = shown || dialog.second == step.number;
  switch (step.op) {
    case Op::kWaitDialog:
      return shown;
    case Op::kWaitGone:
      return !shown;
    case Op::kWaitText: {
      void* control = FindControl(step, false);
      return control && screen_->Text(control) == step.text;
    }
    case Op::kWaitProgress: {
      void* control = FindControl(step, false);
      return control && screen_->Position(control) >= step.number;
    }
    default:
      return true;
  }
}

void* Script::FindControl(const Step& step, bool toAct) {
  void* found = nullptr;
  for (const auto& dialog : screen_->Dialogs()) {
    if (step.dialog && dialog.second != step.dialog) continue;
    void* control = screen_->Control(dialog.first, step.id);
    if (!control) continue;
    if (!toAct || screen_->Reachable(control)) return control;
    if (!found) found = control;
  }
  return toAct ? nullptr : found;
}

void Script::Execute(const Step& step) {
  const std::size_t logLine = log_.size() - 1;  // this step's; nested steps add after it
  auto stop = [&](const std::string& what) {
    Error(step, what);
    stopped_ = true;
  };
  auto expect = [&](bool held, const std::string& what) {
    if (!held) Error(step, what);
  };
  void* control = nullptr;
  if (step.op == Op::kType || step.op == Op::kCheck || step.op == Op::kClick) {
    control = FindControl(step, true);
    if (!control) {
      stop(FindControl(step, false) ? "the control is hidden or disabled" : "no shown dialog has this control");
      return;
    }
  } else if (step.op >= Op::kExpectText && step.op <= Op::kExpectProgress) {
    control = FindControl(step, false);
    if (!control) {
      Error(step, "no shown dialog has this control");
      return;
    }
  }

  switch (step.op) {
    case Op::kMenu: {
      std::int32_t answer = 0;
      switch (ClickMenu(step.text, &answer)) {
        case MenuClick::kRan:
          log_[logLine] += " -> " + std::to_string(answer);
          break;
        case MenuClick::kGreyed:
          stop("the menu item is greyed");
          break;
        case MenuClick::kNotFound:
          stop("there is no such menu item");
          break;
        case MenuClick::kMainWindowDisabled:
          stop("the host's main window is disabled");
          break;
      }
      break;
    }
    case Op::kType:
      screen_->Type(control, step.text);
      break;
    case Op::kCheck:
      if ((screen_->Check(control) != 0) != step.flag) screen_->Click(control);
      if ((screen_->Check(control) != 0) != step.flag) stop("the check box did not change");
      break;
    case Op::kClick:
      screen_->Click(control);
      break;
    case Op::kKey:
      if (step.flag) {
        screen_->PressEnter();
      } else {
        screen_->PressEscape();
      }
      break;
    case Op::kFolder:
      if (step.flag) {
        QueueFolderAnswer(step.text);
      } else {
        QueueFolderCancel();
      }
      break;
    case Op::kFile:
      if (!screen_->AnswerFileDialog(step.flag, step.text)) stop("file dialogs cannot be answered in this world");
      break;
    case Op::kWaitDialog:
    case Op::kWaitGone:
    case Op::kWaitText:
    case Op::kWaitProgress:
      break;
    case Op::kExpectDialog:
    case Op::kExpectNoDialog: {
      bool shown = false;
      for (const auto& dialog : screen_->Dialogs()) shown = shown || dialog.second == step.number;
      expect(shown == (step.op == Op::kExpectDialog), shown ? "the dialog is shown" : "the dialog is not shown");
      break;
    }
    case Op::kExpectText:
      expect(screen_->Text(control) == step.text, "the text is \"" + screen_->Text(control) + "\"");
      break;
    case Op::kExpectCheck:
      expect((screen_->Check(control) != 0) == step.flag, "the check state is " + std::to_string(screen_->Check(control)));
      break;
    case Op::kExpectEnabled:
      expect(screen_->Enabled(control) == step.flag, screen_->Enabled(control) ? "it is enabled" : "it is disabled");
      break;
    case Op::kExpectVisible:
      expect(screen_->Visible(control) == step.flag, screen_->Visible(control) ? "it is visible" : "it is hidden");
      break;
    case Op::kExpectProgress:
      expect(screen_->Position(control) == step.number, "the position is " + std::to_string(screen_->Position(control)));
      break;
    case Op::kExpectDefault: {
      void* dialog = screen_->ActiveDialog();
      const int id = dialog ? screen_->DefaultId(dialog) : 0;
      expect(id == step.id, "the default button is " + std::to_string(id));
      break;
    }
    case Op::kExpectFocus:
      expect(screen_->FocusId() == step.id, "the focus is on " + std::to_string(screen_->FocusId()));
      break;
    case Op::kExpectMenu: {
      bool enabled = false;
      if (!MenuEnabled(step.text, &enabled)) {
        Error(step, "there is no such menu item");
      } else {
        expect(enabled == step.flag, enabled ? "the item is enabled" : "the item is greyed");
      }
      break;
    }
    case Op::kExpectMain:
      expect(MainWindowEnabled() == step.flag, MainWindowEnabled() ? "it is enabled" : "it is disabled");
      break;
    case Op::kExpectMessage: {
      const auto boxes = ShownMessageBoxes();
      bool seen = false;
      for (std::size_t i = messagesChecked_; i < boxes.size() && !seen; ++i) {
        if (boxes[i].text == step.text) {
          seen = true;
          messagesChecked_ = i + 1;
        }
      }
      expect(seen, "no such message box was shown (" + std::to_string(boxes.size() - std::min(boxes.size(), messagesChecked_)) +
                       " other since the last check)");
      break;
    }
    case Op::kExpectSample: {
      std::int32_t value = 0;
      std::string why;
      if (!SampleAt(step.flag, step.latitude, step.longitude, &value, &why)) {
        Error(step, why);
      } else {
        expect(value == step.number, "the sample is " + std::to_string(value));
      }
      break;
    }
    case Op::kShot:
    case Op::kExpectFont: {
      void* dialog = nullptr;
      for (const auto& shown : screen_->Dialogs()) {
        if (shown.second == step.number && !dialog) dialog = shown.first;
      }
      if (!dialog) {
        Error(step, "the dialog is not shown");
      } else if (!screen_->HasPixels()) {
        log_[logLine] += " (no pixels in this world)";
      } else if (step.op == Op::kShot) {
        const std::string path = pictureFolder_.empty() ? "" : pictureFolder_ + kSeparator + step.text + ".png";
        for (const std::string& problem : screen_->Shoot(dialog, path)) Error(step, problem);
        if (!path.empty()) log_[logLine] += " -> " + path;
      } else {
        std::string why;
        expect(screen_->DrawnIn(dialog, step.text, &why), why);
      }
      break;
    }
  }
}

}  // namespace srtm::host

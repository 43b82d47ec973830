// The scripted user: a person at the host's screen, written down as a script. One
// format, two executors: the headless window store natively, real windows through Win32
// messages in the Win32 world (qlphost run SCRIPT).
//
// One step a line; '#' starts a comment. TEXT is a double-quoted UTF-8 string (escapes
// \n \" \\; the executor converts it to code page 932) or a single word. A control ID
// may be qualified with the template of its dialog, as in 30705@30716; otherwise the
// topmost visible dialog that has the control is meant. $NAME in a TEXT stands for the
// value the executor was given for NAME (paths that differ from run to run).
//
//   menu TEXT                click the plug-in's menu item whose text is or begins with TEXT
//   type ID TEXT             replace the text of edit ID
//   check ID on|off          click check box ID when its state differs
//   click ID                 click button ID (it must be visible and enabled)
//   key esc|enter            press Esc or Enter in the dialog that has the focus
//   folder TEXT|cancel       the answer of the next folder chooser (QLP_ShellFolder)
//   file TEXT|cancel         the answer of the next common file dialog
//   wait dialog TEMPLATE     go on once that dialog is shown
//   wait gone TEMPLATE       go on once that dialog is no longer shown
//   wait text ID TEXT        go on once control ID shows TEXT
//   expect dialog TEMPLATE   | expect no dialog TEMPLATE
//   expect text ID TEXT      | expect check ID on|off | expect enabled ID yes|no
//   expect visible ID yes|no | expect progress ID N  | expect default ID | expect focus ID
//   expect menu TEXT enabled|greyed
//   expect main enabled|disabled       the host's main window
//   expect message TEXT      a message box with TEXT was shown since the last such step
//   wait progress ID N       go on once progress bar ID stands at N or beyond
//   expect sample base|cover LAT LON N
//                            the host's active base map (served by its map source) or
//                            active cover map (an XEM map, decoded and passed through
//                            its XEM hook) has the sample N at LAT, LON (degrees, south
//                            and west negative)
//   shot NAME TEMPLATE       a picture of the window that holds dialog TEMPLATE, saved as
//                            NAME.png in the picture folder; every text it shows must be
//                            legible
//   expect font TEMPLATE FAMILY
//                            the dialog's text is drawn in the installed font FAMILY
//                            (a world without pixels skips shot and expect font)
//
// Steps run in order, one action (menu, type, check, click, key) a turn: the system
// answers an action before the user looks again. Steps that the top level cannot reach
// (after a step that opened a modal dialog, or started work that pumps the host's
// messages) run from inside: modal loops and QLP_Pump hand control to the user, who does
// what is due. While the system works without pumping (its progress bars move) the user
// only looks: expectations, waits and pictures, no actions. A wait holds the script
// until its condition is true. A step that cannot act (no such control, a disabled
// button, a greyed menu) stops the script; a failed expectation is recorded and the
// script goes on.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "testhost/desktop.h"

namespace srtm::host {

class Screen;

class QLP_HOST_API Script : public User {
 public:
  explicit Script(const std::string& text, std::vector<std::pair<std::string, std::string>> names = {});
  ~Script() override;
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  // Runs the script to its end (or its first stop) as the host's user. True when every
  // step ran and every expectation held.
  bool Run();
  bool RunDue() override;
  bool Look() override;
  // Where `shot` saves its pictures (a folder of this system); without one they are
  // only looked at.
  void SetPictureFolder(const std::string& folder) { pictureFolder_ = folder; }

  bool ok() const { return errors_.empty(); }
  bool finished() const;
  const std::vector<std::string>& errors() const { return errors_; }
  // One line per step done, "line 3: click 30705".
  const std::vector<std::string>& log() const { return log_; }
  // The errors, one a line (for test failure messages).
  std::string Report() const;

  struct Step;

 private:
  bool Ready(const Step& step);
  bool RunSteps(bool actions);
  void Execute(const Step& step);
  void* FindControl(const Step& step, bool toAct);
  void Error(const Step& step, const std::string& what);

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  bool stopped_ = false;
  std::size_t messagesChecked_ = 0;
  std::vector<std::string> errors_;
  std::vector<std::string> log_;
  std::string pictureFolder_;
  std::unique_ptr<Screen> screen_;
};

// The code-page-932 bytes of a UTF-8 text, as the executor converts script texts.
QLP_HOST_API std::string ScriptText(const std::string& utf8);
// A text as one quoted word of a script: backslashes, quotes and line breaks escaped.
QLP_HOST_API std::string ScriptWord(const std::string& text);

}  // namespace srtm::host

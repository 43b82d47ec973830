// Dialogs built from the module's templates: members bound to controls by ID (data
// exchange, both directions), initialisation, OK and Cancel, click handlers keyed by
// control ID, modal and modeless use.
//
// A Dialog object outlives its window when it is used modeless: the window may be
// destroyed by its parent or the system while the object and its members stay valid,
// and every operation on a dialog whose window is gone does nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "ui/system.h"

namespace srtm::ui {

// A progress-bar control, attached by data exchange.
class ProgressBar {
 public:
  void Attach(Handle control) { handle_ = control; }
  Handle handle() const { return handle_; }
  void SetRange(int low, int high);
  // The previous position.
  int SetPos(int position);
  int Pos() const;

 private:
  Handle handle_ = nullptr;
};

class Dialog;

// One pass of data exchange: from the members to the controls, or (saving) back.
class DataExchange {
 public:
  DataExchange(Dialog& dialog, bool saving) : dialog_(dialog), saving_(saving) {}
  bool saving() const { return saving_; }
  // An edit or static's text.
  void Text(int id, std::string& value);
  // A check box's state (0 or 1; 2 for an indeterminate three-state box).
  void Check(int id, int& value);
  void Control(int id, ProgressBar& control);

 private:
  Dialog& dialog_;
  bool saving_;
};

class Dialog : public MessageTarget {
 public:
  // `parent`: the owner of a pop-up dialog, the parent of a child dialog.
  Dialog(int templateId, Handle parent) : templateId_(templateId), parent_(parent) {}
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Runs the dialog modally; IDOK, IDCANCEL (or what EndDialog was given), or -1 when
  // the dialog cannot be created.
  int DoModal();
  // Creates the window modeless; false when it cannot be created.
  bool Create();
  void DestroyWindow();
  Handle handle() const { return handle_; }
  bool HasWindow() const { return handle_ != nullptr && sys::Exists(handle_); }
  int templateId() const { return templateId_; }

  // Data exchange: saving copies the controls into the members.
  bool UpdateData(bool saving);

  Handle Item(int id) const;
  void SetItemText(int id, const std::string& text);
  std::string ItemText(int id) const;
  void EnableItem(int id, bool enable);
  void ShowItem(int id, bool show);
  void Show(bool show);
  void SetFocus();
  void EndDialog(int result);
  std::intptr_t SendToSelf(unsigned message, std::uintptr_t wparam, std::intptr_t lparam);

 protected:
  virtual void DoDataExchange(DataExchange& dx) {}
  // The default writes the members into the controls and answers 1 (the focus goes to
  // the first tab stop).
  virtual int OnInitDialog();
  // The defaults: OK copies the controls into the members and ends with IDOK; Cancel
  // ends with IDCANCEL.
  virtual void OnOK();
  virtual void OnCancel();
  // Registers what a click on control `id` runs.
  void OnClick(int id, std::function<void()> handler) { clickHandlers_[id] = std::move(handler); }

 private:
  std::intptr_t OnMessage(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam,
                          bool* handled) override;
  void Command(int id);

  int templateId_;
  Handle parent_;
  Handle handle_ = nullptr;
  std::map<int, std::function<void()>> clickHandlers_;
};

}  // namespace srtm::ui

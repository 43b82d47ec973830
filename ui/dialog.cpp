#include "ui/dialog.h"

#include "ui/guard.h"

namespace srtm::ui {

void ProgressBar::SetRange(int low, int high) {
  sys::Send(handle_, kPbmSetRange, 0, MakeLParam(static_cast<unsigned>(low), static_cast<unsigned>(high)));
}

int ProgressBar::SetPos(int position) {
  return static_cast<int>(sys::Send(handle_, kPbmSetPos, static_cast<std::uintptr_t>(position), 0));
}

int ProgressBar::Pos() const { return static_cast<int>(sys::Send(handle_, kPbmGetPos, 0, 0)); }

void DataExchange::Text(int id, std::string& value) {
  const Handle control = dialog_.Item(id);
  if (!control) return;
  if (saving_) {
    value = sys::Text(control);
  } else {
    sys::SetText(control, value);
  }
}

void DataExchange::Check(int id, int& value) {
  const Handle control = dialog_.Item(id);
  if (!control) return;
  if (saving_) {
    value = static_cast<int>(sys::Send(control, kBmGetCheck, 0, 0));
  } else {
    sys::Send(control, kBmSetCheck, static_cast<std::uintptr_t>(value), 0);
  }
}

void DataExchange::Control(int id, ProgressBar& control) {
  if (!saving_ || !control.handle()) control.Attach(dialog_.Item(id));
}

Dialog::~Dialog() {
  // Messages must not reach a half-destroyed object: detach first, then destroy.
  if (HasWindow()) {
    sys::DetachTarget(handle_);
    sys::Destroy(handle_);
  }
}

int Dialog::DoModal() {
  const int result = sys::RunModal(templateId_, parent_, this);
  handle_ = nullptr;
  return result;
}

bool Dialog::Create() {
  if (HasWindow()) return false;
  handle_ = sys::CreateModeless(templateId_, parent_, this);
  return handle_ != nullptr;
}

void Dialog::DestroyWindow() {
  if (HasWindow()) sys::Destroy(handle_);
  handle_ = nullptr;
}

bool Dialog::UpdateData(bool saving) {
  if (!HasWindow()) return false;
  DataExchange dx(*this, saving);
  DoDataExchange(dx);
  return true;
}

Handle Dialog::Item(int id) const { return HasWindow() ? sys::Item(handle_, id) : nullptr; }

void Dialog::SetItemText(int id, const std::string& text) {
  if (Handle control = Item(id)) sys::SetText(control, text);
}

std::string Dialog::ItemText(int id) const {
  const Handle control = Item(id);
  return control ? sys::Text(control) : std::string();
}

void Dialog::EnableItem(int id, bool enable) {
  if (Handle control = Item(id)) sys::Enable(control, enable);
}

void Dialog::ShowItem(int id, bool show) {
  if (Handle control = Item(id)) sys::Show(control, show ? kSwShow : kSwHide);
}

void Dialog::Show(bool show) {
  if (HasWindow()) sys::Show(handle_, show ? kSwShow : kSwHide);
}

void Dialog::SetFocus() {
  if (HasWindow()) sys::Focus(handle_);
}

void Dialog::EndDialog(int result) {
  if (HasWindow()) sys::EndModal(handle_, result);
}

std::intptr_t Dialog::SendToSelf(unsigned message, std::uintptr_t wparam, std::intptr_t lparam) {
  return HasWindow() ? sys::Send(handle_, message, wparam, lparam) : 0;
}

int Dialog::OnInitDialog() {
  UpdateData(false);
  return 1;
}

void Dialog::OnOK() {
  UpdateData(true);
  EndDialog(kIdOk);
}

void Dialog::OnCancel() { EndDialog(kIdCancel); }

void Dialog::Command(int id) {
  if (id == kIdOk) {
    OnOK();
  } else if (id == kIdCancel) {
    OnCancel();
  } else {
    auto it = clickHandlers_.find(id);
    if (it != clickHandlers_.end()) it->second();
  }
}

std::intptr_t Dialog::OnMessage(Handle window, unsigned message, std::uintptr_t wparam, std::intptr_t lparam,
                                bool* handled) {
  switch (message) {
    case kWmInitDialog:
      handle_ = window;
      *handled = true;
      return Guarded([this] { return OnInitDialog(); });
    case kWmCommand:
      // Clicks (BN_CLICKED) and the commands of Enter and Esc; edit notifications and
      // other codes are left alone.
      if (HighWord(wparam) == kBnClicked || HighWord(wparam) == 1) {
        *handled = true;
        Guarded([this, wparam] {
          Command(static_cast<int>(LowWord(wparam)));
          return 0;
        });
      }
      return 0;
    case kWmDestroy:
      if (window == handle_) handle_ = nullptr;
      return 0;
    default:
      return 0;
  }
}

}  // namespace srtm::ui

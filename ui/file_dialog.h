// A thin object around the common open and save dialogs. It takes its filter in the
// one-string form with '|' separators ("Tiles [*.HGT]|*.HGT|All|*.*||") and hands the
// dialog the NUL-separated list it expects.
#pragma once

#include <memory>
#include <string>

#include "ui/system.h"

namespace srtm::ui {

class FileDialog {
 public:
  static constexpr std::uint32_t kBufferSize = 260;

  // The three texts are not copied: they must stay valid while the object is used.
  // `optionFlags` are OFN_ flags; OFN_EXPLORER is added.
  FileDialog(int openMode, const char* defaultExtension, const char* initialName, unsigned optionFlags,
             const char* filter, Handle owner);
  FileDialog(const FileDialog&) = delete;
  FileDialog& operator=(const FileDialog&) = delete;

  // Shows the dialog: 1 (IDOK) when the user chose a file, 2 (IDCANCEL) on Cancel or an
  // error of the dialog. May be called again; each call starts from the initial name.
  int Run();
  // The full path chosen.
  std::string GetPathName() const;

  OpenFileNameRecord ofn;
  int openMode;
  const char* defaultExtension;
  const char* initialName;
  const char* filter;
  unsigned optionFlags;
  Handle owner;

 private:
  std::unique_ptr<char[]> fileBuffer_;
};

// The filter list the common dialog expects: every '|' of `filter` becomes a NUL (the
// second byte of a double-byte character is never taken for one), and the list always
// ends with two NULs, whether or not the text ends with '|'.
std::string FilterList(const char* filter);

}  // namespace srtm::ui

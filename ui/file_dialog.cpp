#include "ui/file_dialog.h"

#include <cstring>

#include "platform/platform.h"

namespace srtm::ui {

std::string FilterList(const char* filter) {
  std::string list = filter ? filter : "";
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (platform::IsLeadByte(static_cast<unsigned char>(list[i]))) {
      ++i;
    } else if (list[i] == '|') {
      list[i] = '\0';
    }
  }
  list.append(2, '\0');
  return list;
}

FileDialog::FileDialog(int mode, const char* extension, const char* name, unsigned flags, const char* filterText,
                       Handle ownerWindow)
    : openMode(mode),
      defaultExtension(extension),
      initialName(name),
      filter(filterText),
      optionFlags(flags),
      owner(ownerWindow),
      fileBuffer_(new char[kBufferSize]()) {
  ofn = OpenFileNameRecord{};
  ofn.filterIndex = 1;
  ofn.flags = optionFlags | kOfnExplorer;
}

int FileDialog::Run() {
  const std::string list = FilterList(filter);
  // An initial name that does not fit the buffer with its terminator is not cut (a cut
  // name could name another file): the dialog starts empty instead.
  const std::size_t nameLength = initialName ? std::strlen(initialName) : 0;
  if (nameLength < kBufferSize) {
    std::memcpy(fileBuffer_.get(), initialName ? initialName : "", nameLength + 1);
  } else {
    fileBuffer_[0] = '\0';
  }
  ofn.structSize = kOpenFileNameSize;
  ofn.owner = owner;
  ofn.filter = list.data();
  ofn.defaultExtension = defaultExtension;
  ofn.file = fileBuffer_.get();
  ofn.maxFile = kBufferSize;
  ofn.fileTitle = nullptr;
  ofn.maxFileTitle = 0;
  const bool chosen = sys::FileNameDialog(&ofn, openMode != 0);
  ofn.filter = nullptr;  // the list goes with this call
  return chosen ? kIdOk : kIdCancel;
}

std::string FileDialog::GetPathName() const {
  return std::string(fileBuffer_.get(), strnlen(fileBuffer_.get(), kBufferSize));
}

}  // namespace srtm::ui

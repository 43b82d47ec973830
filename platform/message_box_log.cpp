// The record of message boxes and the responder that answers them in place of a user.
#include <mutex>

#include "platform/platform.h"
#include "platform/platform_internal.h"

namespace srtm::platform {
namespace {
std::mutex g_mutex;
std::vector<MessageBoxRecord> g_log;
MessageBoxResponder g_responder = nullptr;
void* g_responderContext = nullptr;
}  // namespace

void SetMessageBoxResponder(MessageBoxResponder responder, void* context) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_responder = responder;
  g_responderContext = context;
}

std::vector<MessageBoxRecord> RecordedMessageBoxes() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_log;
}

void ClearRecordedMessageBoxes() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_log.clear();
}

bool RecordMessageBox(const char* text, const char* caption, unsigned type, int* answer) {
  MessageBoxRecord record{text ? text : "", caption ? caption : "", type};
  MessageBoxResponder responder;
  void* context;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_log.push_back(record);
    responder = g_responder;
    context = g_responderContext;
  }
  if (!responder) {
    *answer = (type & 0xF) == kMbYesNo ? kIdYes : kIdOk;
    return false;
  }
  *answer = responder(record, context);
  return true;
}

}  // namespace srtm::platform

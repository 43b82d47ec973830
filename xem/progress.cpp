#include "xem/progress.h"

namespace srtm {

namespace {
// Kept inside this file: an extern thread_local would need a wrapper call at every use
// from other files.
thread_local ProgressTarget* g_activeRunPage = nullptr;
}  // namespace

ProgressTarget* ActiveRunPage() { return g_activeRunPage; }
void SetActiveRunPage(ProgressTarget* target) { g_activeRunPage = target; }

void ProgressBegin(const char* text, int allowCancel) {
  if (!g_activeRunPage) return;
  g_activeRunPage->SetMode(1, allowCancel);
  g_activeRunPage->SetTexts(text, nullptr);
}

void ProgressSetText(const char* text, const char* countText) {
  if (g_activeRunPage) g_activeRunPage->SetTexts(text, countText);
}

void ProgressSetPercent(int percent) {
  if (g_activeRunPage) g_activeRunPage->SetPercent(percent);
}

void ProgressPump() {
  if (g_activeRunPage) g_activeRunPage->PumpHost();
}

int ProgressIsCancelled() { return g_activeRunPage ? g_activeRunPage->cancelRequested : 0; }

// The run page keeps its running look until the wizard hides it after the batch.
void ProgressEnd() {}

}  // namespace srtm

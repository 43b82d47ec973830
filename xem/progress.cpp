#include "xem/progress.h"

namespace srtm {

thread_local ProgressTarget* ActiveRunPage = nullptr;

void ProgressBegin(const char* text, int allowCancel) {
  if (!ActiveRunPage) return;
  ActiveRunPage->SetMode(1, allowCancel);
  ActiveRunPage->SetTexts(text, nullptr);
}

void ProgressSetText(const char* text, const char* countText) {
  if (ActiveRunPage) ActiveRunPage->SetTexts(text, countText);
}

void ProgressSetPercent(int percent) {
  if (ActiveRunPage) ActiveRunPage->SetPercent(percent);
}

void ProgressPump() {
  if (ActiveRunPage) ActiveRunPage->PumpHost();
}

int ProgressIsCancelled() { return ActiveRunPage ? ActiveRunPage->cancelRequested : 0; }

// The run page keeps its running look until the wizard hides it after the batch.
void ProgressEnd() {}

}  // namespace srtm

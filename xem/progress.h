// The progress interface of long work: the compression code reports texts and
// percentages and polls for a stop without knowing who shows them.
//
// The six functions act on the target ActiveRunPage while a wizard batch runs, and do
// nothing (ProgressIsCancelled answers 0) at any other time. The target is the calling
// thread's own: the wizard's batch runs on the host's thread, and a tool converting
// tiles on several threads gives each its own target, so that no stop request or count
// is shared between threads unguarded.
#pragma once

namespace srtm {

// What shows the progress of a running batch: the wizard's run page, or a test's target.
class ProgressTarget {
 public:
  virtual ~ProgressTarget() = default;
  // Running look on (1) or off (0); allowCancel enables the Abort button.
  virtual void SetMode(int running, int allowCancel) = 0;
  // Status text, and the count text when countText is not null.
  virtual void SetTexts(const char* text, const char* countText) = 0;
  // Progress-bar position; above 100 shows as 100.
  virtual void SetPercent(int percent) = 0;
  // Lets the host dispatch its pending messages once (QLP_Pump for the wizard).
  virtual void PumpHost() = 0;

  // 1 once the user asked for a stop; never reset.
  int cancelRequested = 0;
};

// This thread's target: null except while a batch started by the wizard runs.
ProgressTarget* ActiveRunPage();
// Installs this thread's target (null to remove it).
void SetActiveRunPage(ProgressTarget* target);

void ProgressBegin(const char* text, int allowCancel);
void ProgressSetText(const char* text, const char* countText);
void ProgressSetPercent(int percent);
void ProgressPump();
int ProgressIsCancelled();
void ProgressEnd();

}  // namespace srtm

// The entry and split-group loop. The entry opens the procedure with the
// host, then for every split group rewinds the command tokens and runs the
// chain of stages: first workspace plan, parse, second plan, data pass, split
// announcement, executive, release. The host's error flag is tested after
// each stage; once it is set no later stage runs. After the last group the
// saved files are closed in slot order and the procedure is ended, whatever
// happened before.
#include "mva/frame/entry.h"

#include <memory>

#include "mva/cases/data_pass.h"
#include "mva/frame/executive.h"
#include "mva/frame/workspace_plan.h"
#include "mva/syntax/dispatcher.h"

namespace mva {

namespace {

// The common of the procedure running on this thread, for running_common().
thread_local MvaCommon* running = nullptr;

// Makes a common the running one for the length of one call, and puts back
// the one before it (a host may run a procedure from inside another's call).
class RunningCommon {
 public:
  explicit RunningCommon(MvaCommon& common) : before_(running) { running = &common; }
  ~RunningCommon() { running = before_; }
  RunningCommon(const RunningCommon&) = delete;
  RunningCommon& operator=(const RunningCommon&) = delete;

 private:
  MvaCommon* before_;
};

// Runs the stages of every split group until the host's flags say stop.
void run_groups(Context& cx) {
  Host& host = cx.host;
  Workspace& ws = cx.ws;
  for (;;) {
    if (is_true(cx.cmn.FIRSTG)) {
      std::int64_t position = 0;
      host.SSTACK(ws, cx.handle, 0, position);
    } else {
      host.SSETPT(ws, cx.handle, 0);
    }
    host.SSNXT1(ws, cx.handle);  // the command name; parsing starts after it

    if (!host.error_flag()) IMEM1(cx);
    if (host.error_flag()) return;
    PARS(cx);
    if (host.error_flag()) return;
    IMEM2(cx);
    if (host.error_flag() || host.groups_done()) return;
    DATA(cx);
    if (host.error_flag() || host.data_stopped()) return;
    if (host.split_count() > 0) host.BP_SPLIT_CHANGE(ws);
    EXEC(cx);
    FMEM(cx);  // also after an error inside the executive
    cx.cmn.FIRSTG = kFalse;
    if (host.error_flag() || host.split_count() < 1) return;
  }
}

// Closes the saved files still open, in slot order 12 to 15.
void close_saved_files(Context& cx) {
  for (int k = kListwise; k <= kRegression; ++k) {
    if (SFKIND(cx.cmn, k) == 0) continue;
    try {
      cx.host.SFCLDE(cx.ws, SFGETH(cx.cmn, k), 0, 0, kTrue);
    } catch (const ProcedureStop&) {
      // The host has reported the failure; the other slots still close.
    }
  }
}

}  // namespace

MvaCommon* running_common() { return running; }

int MVA(Host& host, Workspace& ws) {
  // Each call has a common of its own, so that procedures over different
  // data may run one after another or side by side on several threads.
  const auto common = std::make_unique<MvaCommon>();
  MvaCommon& cmn = *common;
  const RunningCommon current(cmn);
  Context cx{host, ws, cmn, 0};

  host.BP_PROCEDURE("MVA", 3, 1, ws);
  cx.handle = 0;
  cmn.FIRSTG = kTrue;
  try {
    host.OBINIT(ws);
    if (!host.error_flag()) host.OBPINI(ws);
    run_groups(cx);
  } catch (const ProcedureStop&) {
    // An internal fault or a user interrupt: the host has said so and set
    // its error flag; fall through to the closing sequence.
  }

  close_saved_files(cx);
  if (!host.error_flag()) host.OBPEND(ws);
  if (cx.handle != 0) host.SSDELS(ws, cx.handle);
  return host.BP_END_PROCEDURE();
}

}  // namespace mva

#include "checker/core/checker_state.h"

#include <limits>
#include <mutex>

#include "checker/core/arrival_sound.h"
#include "platform/process.h"
#include "shared/locations.h"

namespace zvrx {

CheckerActions RealCheckerActions() {
  CheckerActions actions;
  actions.play_sound = PlayArrivalSound;
  actions.start_program = [](std::string_view command_line, std::string_view folder) {
    return platform::StartProgram(command_line, folder);
  };
  return actions;
}

CheckerState::CheckerState()
    : install_root(InstallRoot()), texts(install_root), actions(RealCheckerActions()) {}

void FatalError(CheckerState& state, int id) {
  state.fatal_error = id;
  state.stop = true;
  if (state.ui != nullptr) {
    state.ui->ShowFatalMessage(state.texts.Text(kTextFatal, id));
    state.ui->RequestQuit();
  }
}

namespace {

bool DeliveryWaits(CheckerTransfer& transfer) {
  return transfer.block && transfer.block->data()[kHandshakeByte] == TRAN_SETTINGS;
}

}  // namespace

void PostStatus(CheckerState& state) {
  // The lock is recursive: the test and the post form one step.
  std::lock_guard lock(state.transfer.status_lock);
  if (DeliveryWaits(state.transfer)) return;
  PostReport(state.transfer);
}

int16_t HeaderCount(int32_t count) {
  constexpr int32_t kMax = std::numeric_limits<int16_t>::max();
  return static_cast<int16_t>(count > kMax ? kMax : (count < 0 ? 0 : count));
}

void Post(CheckerState& state, int16_t code, const PostArgs& args) {
  TransferHeader& local = state.transfer.local;
  local.code = code;
  if (args.p1) local.p1 = *args.p1;
  if (args.p2) local.p2 = *args.p2;
  if (args.p3) local.p3 = *args.p3;
  if (args.p4) local.p4 = *args.p4;
  PostStatus(state);
}

bool AskUser(CheckerState& state) {
  std::lock_guard lock(state.transfer.status_lock);
  if (DeliveryWaits(state.transfer)) return false;
  return AskQuestion(state.transfer);
}

}  // namespace zvrx

// The choosers' drawing and their events, frame by frame.
#include "dialogs/ChooserView.h"

namespace kestro::dialogs {

void CChooserView::Draw() {}

void CChooserView::Update() {
  while (!pending_.empty() && !done_) {
    RInputEvent e = pending_.front();
    pending_.pop_front();
    if (e.kind == RInputEvent::kKeyDown && e.value == 27) Cancel();
    if (e.kind == RInputEvent::kKeyDown && e.value == 13) Accept();
    if (e.kind == RInputEvent::kClose) Cancel();
  }
}

}  // namespace kestro::dialogs

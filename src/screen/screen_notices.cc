#include "screen/screen_notices.h"

#include "platform/key_codes.h"
#include "screen/key_reader.h"
#include "screen/message_box.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"

namespace xt {

void ScreenNotices::show(int16_t row, const std::string& text) { messageBox(screen_, row, text); }

void ScreenNotices::dismiss() { restoreRegion(screen_); }

void ScreenNotices::waitForKey() { (void)waitKey(screen_); }

void ScreenNotices::beep() { screen_.console.beep(); }

void ScreenNotices::discardTypedKeys() { screen_.console.discardInput(); }

bool ScreenNotices::escapeTyped() {
  int16_t key = 0, button = 0, row = 0, column = 0;
  readKeyEvent(screen_, key, button, row, column);
  return key == key::kEsc;
}

void ScreenNotices::beforePause() { screen_.console.beforePause(); }

}  // namespace xt

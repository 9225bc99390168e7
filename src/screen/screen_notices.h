// The notices of the layers below the screen, shown on the screen: a
// message box on the given row, the key reader for the keys.
#pragma once

#include "base/notices.h"

namespace xt {

struct Screen;

class ScreenNotices : public Notices {
 public:
  explicit ScreenNotices(Screen& screen) : screen_(screen) {}

  void show(int16_t row, const std::string& text) override;
  void dismiss() override;
  void waitForKey() override;
  void beep() override;
  void discardTypedKeys() override;
  bool escapeTyped() override;
  void beforePause() override;

 private:
  Screen& screen_;
};

}  // namespace xt

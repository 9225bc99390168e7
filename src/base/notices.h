// What the layers below the screen must show the operator, and the little
// they need back from the keyboard: a file that cannot be used, a wait the
// operator may give up with Esc, the intranet rewrite in progress. They
// report through this interface; the screen implements it and main wires
// it, so the data layer and the intranet rewrite also run with no console
// at all (the administrator's tool, the tests).
#pragma once

#include <cstdint>
#include <string>

namespace xt {

class Notices {
 public:
  virtual ~Notices() = default;

  // Puts a message up, centred on the given screen row; it stays, with the
  // screen under it kept, until dismiss().
  virtual void show(int16_t row, const std::string& text) = 0;
  // Takes the newest message shown off again.
  virtual void dismiss() = 0;
  // Waits until the operator presses a key (or clicks).
  virtual void waitForKey() = 0;
  virtual void beep() = 0;
  // Throws away the keys typed ahead.
  virtual void discardTypedKeys() = 0;
  // Whether Esc has been typed; looks without waiting.
  virtual bool escapeTyped() = 0;
  // Called before each pause of a wait that reads no key: the screen is
  // sent as it stands, and a process asked to end ends here.
  virtual void beforePause() = 0;
};

// A message the operator must see: shown with a beep, keys typed ahead
// thrown away, until a key; then taken off.
inline void alert(Notices& notices, int16_t row, const std::string& text) {
  notices.show(row, text);
  notices.beep();
  notices.discardTypedKeys();
  notices.waitForKey();
  notices.dismiss();
}

// Notices that show nothing and answer no key: for a caller with no
// operator to tell (the administrator's tool).
class SilentNotices : public Notices {
 public:
  void show(int16_t, const std::string&) override {}
  void dismiss() override {}
  void waitForKey() override {}
  void beep() override {}
  void discardTypedKeys() override {}
  bool escapeTyped() override { return false; }
  void beforePause() override {}
};

}  // namespace xt

// The hooks by which the generic field entry loop and browse list call back
// into the procedure of the form being run.
#pragma once

#include <cstdint>
#include <string>

namespace xt {

class FormHooks {
 public:
  virtual ~FormHooks() = default;
  // 0 lets the group end; nonzero runs the group again.
  virtual int16_t groupExitHook(int16_t& /*group*/, int16_t& /*key*/) { return 0; }
  virtual void lookupChosenHook(int16_t& /*list*/, int16_t& /*group*/, int16_t& /*field*/) {}
  // Nonzero refuses the list with that result.
  virtual int16_t browseRangeHook(int16_t& /*list*/, std::string& /*from*/, std::string& /*limit*/) {
    return 0;
  }
  virtual std::string browseLineHook(int16_t& /*list*/) { return {}; }
};

}  // namespace xt

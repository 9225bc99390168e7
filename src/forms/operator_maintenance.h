// The procedure of the operator maintenance form: find or create an
// operator's record, edit its text and access level, store, update or
// delete it, and keep the intranet password files in step.
#pragma once

#include <cstdint>
#include <string>

#include "forms/form_hooks.h"

namespace xt {

struct Program;

constexpr int16_t kOperatorFileId = 52;

#pragma pack(push, 1)
struct OperatorRecord {
  char operatorCode[8];
  char operatorText[8];
  uint8_t accessLevel;  // 0 general, 1 restricted
};
#pragma pack(pop)
static_assert(sizeof(OperatorRecord) == 17);

class OperatorMaintenance : public FormHooks {
 public:
  explicit OperatorMaintenance(Program& program);

  // Runs until the operator leaves group 1 with Esc.
  void run();

  int16_t groupExitHook(int16_t& group, int16_t& key) override;
  void lookupChosenHook(int16_t& list, int16_t& group, int16_t& field) override;
  int16_t browseRangeHook(int16_t& list, std::string& from, std::string& limit) override;
  std::string browseLineHook(int16_t& list) override;

  OperatorRecord& record() { return record_; }
  // The operator context, copied from the settings after the form is loaded.
  std::string operatorName;
  int16_t operatorType = 0;

 private:
  Program& program_;
  OperatorRecord record_{};
  bool recordIsNew_ = false;
  bool deleteConfirmed_ = false;
};

}  // namespace xt

#include "data/engine_choice.h"

#include "platform/pg_engine.h"
#include "platform/sqlite_engine.h"

namespace xt {

std::unique_ptr<RecordEngine> makeRecordEngine(const std::string& dataServer, const std::string& root) {
  if (dataServer.empty()) return std::make_unique<SqliteEngine>();
  return std::make_unique<PgEngine>(dataServer, root);
}

ChosenEngine::ChosenEngine() : engine_(std::make_unique<SqliteEngine>()) {}
ChosenEngine::~ChosenEngine() = default;

void ChosenEngine::choose(const SessionSettings& settings) {
  engine_ = makeRecordEngine(settings.dataServer, settings.rootDir);
}

}  // namespace xt

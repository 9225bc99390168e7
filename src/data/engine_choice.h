// The record engine an installation asks for, chosen once its settings are
// read: the embedded SQLite engine (data files beside the installation), or
// the PostgreSQL engine on the server that Vexa.ini's [Dades] Servidor
// names (terminals on several hosts).
#pragma once

#include <memory>
#include <string>

#include "base/session_settings.h"
#include "platform/record_engine.h"

namespace xt {

// The engine for the installation at root: on the server when dataServer
// is set, else embedded.
std::unique_ptr<RecordEngine> makeRecordEngine(const std::string& dataServer, const std::string& root);

// A record engine made before the settings are read and chosen after: it
// answers as the embedded engine until choose().
class ChosenEngine : public RecordEngine {
 public:
  ChosenEngine();
  ~ChosenEngine() override;
  // Chooses the engine for the settings' installation. Only before the
  // first file is opened.
  void choose(const SessionSettings& settings);

  int16_t call(int16_t operation, uint8_t* positionBlock, uint8_t* data, uint32_t& dataLength, uint8_t* key,
               int keyLength, int16_t keyNumber) override {
    return engine_->call(operation, positionBlock, data, dataLength, key, keyLength, keyNumber);
  }
  std::string lastError() const override { return engine_->lastError(); }

 private:
  std::unique_ptr<RecordEngine> engine_;
};

}  // namespace xt

// The key decoder on arbitrary terminal input, split into reads at
// arbitrary points with time passing between them: every event it gives
// is a well-formed key or click.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/posix/key_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  xt::KeyDecoder decoder;
  decoder.setKeypadNavigation(size > 0 && (data[0] & 0x80));
  int64_t now = 0;
  size_t i = 0;
  while (i < size) {
    // The first byte of each chunk gives its length and the pause before it.
    size_t chunk = 1 + data[i] % 8;
    now += data[i] % 40;
    ++i;
    size_t n = std::min(chunk, size - i);
    decoder.feed(std::string_view(reinterpret_cast<const char*>(data + i), n), now);
    i += n;
    while (auto event = decoder.next(now)) {
      if (event->kind == xt::InputEvent::Kind::Mouse &&
          (event->row < 1 || event->column < 1 || event->button == 0))
        std::abort();
      if (event->kind == xt::InputEvent::Kind::None) std::abort();
    }
  }
  now += 1000;
  while (decoder.next(now)) {
  }
  if (!decoder.idle()) std::abort();
  return 0;
}

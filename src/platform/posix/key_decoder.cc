#include "platform/posix/key_decoder.h"

#include <algorithm>
#include <vector>

#include "platform/console_keys.h"
#include "platform/cp850.h"
#include "platform/key_codes.h"

namespace xt {
namespace {

constexpr int kShift = 1, kAlt = 2, kCtrl = 4, kMeta = 8;
// Sequences longer than this without a final byte are garbage.
constexpr size_t kMaxSequence = 64;

// Modifier bits from an xterm modifier parameter (2 = Shift ... 8 =
// Shift+Alt+Ctrl; Meta counts as Alt).
int modifierBits(int parameter) {
  if (parameter < 2) return 0;
  int bits = parameter - 1;
  if (bits & kMeta) bits |= kAlt;
  return bits & (kShift | kAlt | kCtrl);
}

// The PC keyboard's modified keys: Alt is looked at first, then Ctrl, then
// Shift. Keys without an entry for the modifier keep their plain code.
int16_t withModifiers(int16_t key, int mods) {
  const int k = static_cast<uint16_t>(key);
  if (k >= 0x3B00 && k <= 0x4400) {
    if (mods & kAlt) return static_cast<int16_t>(k + key::kAltF1to10);
    if (mods & kCtrl) return static_cast<int16_t>(k + key::kCtrlF1to10);
    if (mods & kShift) return static_cast<int16_t>(k + key::kShiftF1to10);
    return key;
  }
  if (k == 0x8500 || k == 0x8600) {
    if (mods & kAlt) return static_cast<int16_t>(k + key::kAltF11F12);
    if (mods & kCtrl) return static_cast<int16_t>(k + key::kCtrlF11F12);
    if (mods & kShift) return static_cast<int16_t>(k + key::kShiftF11F12);
    return key;
  }
  if ((mods & kCtrl) && !(mods & kAlt)) {
    switch (key) {
      case key::kHome: return key::kCtrlHome;
      case key::kLeft: return key::kCtrlLeft;
      case key::kRight: return key::kCtrlRight;
      case key::kEnd: return key::kCtrlEnd;
      case key::kPgUp: return key::kCtrlPgUp;
      case key::kPgDn: return key::kCtrlPgDn;
      default: break;
    }
  }
  if (key == key::kTab && (mods & kShift)) return key::kShiftTab;
  return key;
}

int16_t functionKey(int n) {  // 1..12
  if (n <= 10) return static_cast<int16_t>(key::kF1 + (n - 1) * 0x100);
  return n == 11 ? key::kF11 : key::kF12;
}

// ESC [ n ~ : the VT220 numbering used by xterm, rxvt, screen, tmux, the
// Linux console and PuTTY. Numbers 25-34 are what rxvt and the Linux
// console send for Shift+F3..F10 (they send Shift+F1/F2 as F11/F12).
int16_t tildeKey(int n, int& mods) {
  switch (n) {
    case 1: case 7: return key::kHome;
    case 2: return key::kInsert;
    case 3: return key::kDelete;
    case 4: case 8: return key::kEnd;
    case 5: return key::kPgUp;
    case 6: return key::kPgDn;
    case 11: case 12: case 13: case 14: case 15: return functionKey(n - 10);
    case 17: case 18: case 19: case 20: case 21: return functionKey(n - 11);
    case 23: return key::kF11;
    case 24: return key::kF12;
    case 25: case 26: mods |= kShift; return functionKey(n - 22);
    case 28: case 29: mods |= kShift; return functionKey(n - 23);
    case 31: case 32: case 33: case 34: mods |= kShift; return functionKey(n - 24);
    default: return key::kNone;
  }
}

int16_t arrowKey(char final) {
  switch (final) {
    case 'A': return key::kUp;
    case 'B': return key::kDown;
    case 'C': return key::kRight;
    case 'D': return key::kLeft;
    default: return key::kNone;
  }
}

// Numeric parameters of a sequence; empty ones are -1, sub-parameters
// after ':' are ignored.
std::vector<int> numbers(std::string_view params) {
  std::vector<int> out;
  int value = -1;
  bool sub = false;
  for (char c : params) {
    if (c == ';') {
      out.push_back(value);
      value = -1;
      sub = false;
    } else if (c == ':') {
      sub = true;
    } else if (c >= '0' && c <= '9' && !sub) {
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
      if (value > 1000000) value = 1000000;
    }
  }
  if (!params.empty()) out.push_back(value);
  return out;
}

// A character with modifiers, as sent by xterm's modifyOtherKeys
// (ESC [ 27 ; m ; c ~) and by ESC [ c ; m u.
int16_t modifiedCharacter(int c, int mods) {
  if (c == 9) return (mods & kShift) ? key::kShiftTab : key::kTab;
  if (c == 13) return (mods & kAlt) ? 0x1C00 : key::kEnter;
  if (c == 27) return key::kEsc;
  if (c == 127 || c == 8) return (mods & kAlt) ? 0x0E00 : key::kBackspace;
  if (c >= 0x20 && c < 0x7F) {
    if (mods & kAlt) return KeyDecoder::altKey(static_cast<uint8_t>(c));
    if ((mods & kCtrl) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return c & 0x1F;
    return static_cast<int16_t>(c);
  }
  int byte = c > 0 ? unicodeToCp850(static_cast<char32_t>(c)) : -1;
  return byte >= 0 ? static_cast<int16_t>(byte) : key::kNone;
}

}  // namespace

int16_t KeyDecoder::altKey(uint8_t ch) {
  switch (ch) {
    case 0x7F: case 0x08: return static_cast<int16_t>(0x0E00);  // Alt+Backspace
    case 0x0D: return static_cast<int16_t>(0x1C00);             // Alt+Enter
    default: return altCharacterKey(ch);
  }
}

void KeyDecoder::feed(std::string_view bytes, int64_t nowMs) {
  if (bytes.empty()) return;
  pending_.append(bytes);
  lastByteMs_ = nowMs;
  decode(false);
}

std::optional<InputEvent> KeyDecoder::next(int64_t nowMs) {
  if (events_.empty() && !pending_.empty() && nowMs - lastByteMs_ >= escDelayMs_) decode(true);
  if (events_.empty() && entering_ && nowMs - enteredMs_ >= kKeypadEntryMs) finishKeypadEntry();
  if (events_.empty()) return std::nullopt;
  InputEvent e = events_.front();
  events_.pop_front();
  return e;
}

int KeyDecoder::msUntilTimeout(int64_t nowMs) const {
  int64_t left = -1;
  if (!pending_.empty()) left = std::max<int64_t>(0, escDelayMs_ - (nowMs - lastByteMs_));
  if (entering_) {
    int64_t entry = std::max<int64_t>(0, kKeypadEntryMs - (nowMs - enteredMs_));
    left = left < 0 ? entry : std::min(left, entry);
  }
  return static_cast<int>(left);
}

void KeyDecoder::reset() {
  pending_.clear();
  events_.clear();
  entering_ = false;
}

std::optional<CursorReport> KeyDecoder::takeCursorReport() {
  auto r = report_;
  report_.reset();
  return r;
}

void KeyDecoder::emitKey(int16_t key) {
  if (key == key::kNone) return;
  InputEvent e;
  e.kind = InputEvent::Kind::Key;
  e.key = key;
  emit(e);
}

// Every key and click ends a keypad character entry: the character first.
void KeyDecoder::emit(const InputEvent& event) {
  finishKeypadEntry();
  events_.push_back(event);
}

void KeyDecoder::keypadDigit(int digit) {
  // (a * 10 + d) mod 256 only needs a mod 256, so the number never grows.
  enteredCode_ = entering_ ? (enteredCode_ * 10 + digit) % 256 : digit;
  entering_ = true;
  enteredMs_ = lastByteMs_;
}

void KeyDecoder::finishKeypadEntry() {
  if (!entering_) return;
  entering_ = false;
  if (enteredCode_ == 0) return;  // code 0 is no key
  InputEvent e;
  e.kind = InputEvent::Kind::Key;
  e.key = static_cast<int16_t>(enteredCode_);
  events_.push_back(e);
}

void KeyDecoder::decode(bool timedOut) {
  std::string_view all(pending_);
  size_t pos = 0;
  while (pos < all.size()) {
    size_t used = 0;
    if (parseOne(all.substr(pos), timedOut, used) == Parse::Incomplete) break;
    pos += used;
  }
  pending_.erase(0, pos);
}

KeyDecoder::Parse KeyDecoder::parseOne(std::string_view s, bool timedOut, size_t& used) {
  const auto b = static_cast<uint8_t>(s[0]);
  if (b == 0x1B) {
    if (s.size() == 1) {
      if (!timedOut) return Parse::Incomplete;
      emitKey(key::kEsc);
      used = 1;
      return Parse::Done;
    }
    const auto c = static_cast<uint8_t>(s[1]);
    if (c == '[' || c == 'O') return parseSequence(s, timedOut, false, used);
    if (c == 0x1B) {
      // ESC ESC [ ... is Alt with a sequence (PuTTY); otherwise the first
      // ESC was the Esc key on its own.
      if (s.size() == 2 && !timedOut) return Parse::Incomplete;
      if (s.size() > 2 && (s[2] == '[' || s[2] == 'O')) {
        if (parseSequence(s.substr(1), timedOut, true, used) == Parse::Incomplete)
          return Parse::Incomplete;
        ++used;
        return Parse::Done;
      }
      emitKey(key::kEsc);
      used = 1;
      return Parse::Done;
    }
    used = 1;
    if (c >= 0x80) return Parse::Done;  // Alt with a non-ASCII letter: the letter alone
    emitKey(altKey(c));
    used = 2;
    return Parse::Done;
  }
  if (b < 0x80) {
    used = 1;
    if (b == 0x7F || b == 0x08) emitKey(key::kBackspace);
    else if (b != 0) emitKey(static_cast<int16_t>(b));
    return Parse::Done;
  }
  // UTF-8 typed text.
  int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  used = 1;
  if (extra < 0) return Parse::Done;  // a stray continuation or invalid byte
  char32_t cp = extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
  for (int i = 1; i <= extra; ++i) {
    if (static_cast<size_t>(i) >= s.size()) {
      if (!timedOut) return Parse::Incomplete;
      used = s.size();
      return Parse::Done;
    }
    const auto cont = static_cast<uint8_t>(s[i]);
    if ((cont & 0xC0) != 0x80) {
      used = i;  // broken: drop the lead bytes, keep this one
      return Parse::Done;
    }
    cp = (cp << 6) | (cont & 0x3F);
  }
  used = extra + 1;
  int byte = unicodeToCp850(cp);
  if (byte >= 0) emitKey(static_cast<int16_t>(byte));
  return Parse::Done;
}

// s starts with ESC [ or ESC O.
KeyDecoder::Parse KeyDecoder::parseSequence(std::string_view s, bool timedOut, bool alt,
                                             size_t& used) {
  const bool csi = s[1] == '[';
  if (s.size() == 2) {
    if (!timedOut) return Parse::Incomplete;
    emitKey(altKey(static_cast<uint8_t>(s[1])));  // Alt+[ or Alt+O typed
    used = 2;
    return Parse::Done;
  }
  auto waitOrDrop = [&]() {
    if (!timedOut && s.size() < kMaxSequence) return Parse::Incomplete;
    used = s.size();
    return Parse::Done;
  };
  if (csi && s[2] == '[') {  // Linux console: ESC [ [ A .. ESC [ [ E are F1..F5
    if (s.size() < 4) return waitOrDrop();
    const char f = s[3];
    if (static_cast<uint8_t>(f) < 0x20) {
      used = 3;
      return Parse::Done;
    }
    if (f >= 'A' && f <= 'E') emitKey(withModifiers(functionKey(f - 'A' + 1), alt ? kAlt : 0));
    used = 4;
    return Parse::Done;
  }
  if (csi && s[2] == 'M') {  // a legacy mouse report: three raw bytes follow
    if (s.size() < 6) return waitOrDrop();
    used = 6;
    return Parse::Done;
  }
  size_t i = 2;
  while (i < s.size() && s[i] >= 0x30 && s[i] <= 0x3F) ++i;
  const size_t paramsEnd = i;
  const std::string_view params = s.substr(2, paramsEnd - 2);
  // rxvt ends Shift+key with '$' (ESC [ 2 $), where ECMA-48 would have an
  // intermediate byte.
  if (csi && i < s.size() && s[i] == '$' && i > 2 && s[i - 1] >= '0' && s[i - 1] <= '9') {
    interpretCsi(params, '$', alt);
    used = i + 1;
    return Parse::Done;
  }
  while (i < s.size() && s[i] >= 0x20 && s[i] <= 0x2F) ++i;
  if (i >= s.size()) return waitOrDrop();
  const auto f = static_cast<uint8_t>(s[i]);
  if (f < 0x40 || f > 0x7E) {  // broken off by a control byte: drop what came before it
    used = i;
    return Parse::Done;
  }
  used = i + 1;
  if (i != paramsEnd) return Parse::Done;  // intermediates: nothing we know
  if (csi) interpretCsi(params, static_cast<char>(f), alt);
  else interpretSs3(params, static_cast<char>(f), alt);
  return Parse::Done;
}

void KeyDecoder::interpretCsi(std::string_view params, char final, bool alt) {
  char prefix = 0;
  if (!params.empty() && (params[0] == '<' || params[0] == '=' || params[0] == '>' || params[0] == '?')) {
    prefix = params[0];
    params.remove_prefix(1);
  }
  const std::vector<int> p = numbers(params);
  auto at = [&](size_t n) { return n < p.size() ? p[n] : -1; };

  if (prefix == '<') {
    // SGR mouse: ESC [ < b ; x ; y M (press) or m (release). Only releases
    // of the three buttons count; motion and wheel reports are dropped.
    if (final != 'm' || p.size() < 3) return;
    int b = at(0);
    if (b < 0 || (b & (32 | 64))) return;
    static constexpr int16_t kButtonBit[4] = {1, 4, 2, 0};
    int16_t bit = kButtonBit[b & 3];
    if (bit == 0 || at(1) < 1 || at(2) < 1) return;
    InputEvent e;
    e.kind = InputEvent::Kind::Mouse;
    e.button = bit;
    e.column = static_cast<int16_t>(at(1) > 32767 ? 32767 : at(1));
    e.row = static_cast<int16_t>(at(2) > 32767 ? 32767 : at(2));
    emit(e);
    return;
  }
  if (final == 'R' && awaitingReport_ && p.size() == 2 && (prefix == 0 || prefix == '?')) {
    report_ = CursorReport{at(0), at(1)};
    awaitingReport_ = false;
    return;
  }
  if (prefix != 0) return;

  int mods = alt ? kAlt : 0;
  // ESC [ 1 ; m X carries the modifier second; some terminals send ESC [ m X.
  if (p.size() >= 2) mods |= modifierBits(at(1));
  else if (p.size() == 1 && final != '~' && final != '$' && final != '^' && final != '@' && final != 'u')
    mods |= modifierBits(at(0));

  int16_t k = key::kNone;
  switch (final) {
    case 'A': case 'B': case 'C': case 'D': k = arrowKey(final); break;
    case 'a': case 'b': case 'c': case 'd':  // rxvt: Shift+arrow
      k = arrowKey(static_cast<char>(final - 32));
      mods |= kShift;
      break;
    case 'H': k = key::kHome; break;
    case 'F': k = key::kEnd; break;
    case 'E': case 'G': k = key::kCentre; break;
    case 'P': case 'Q': case 'R': case 'S': k = functionKey(final - 'P' + 1); break;
    case 'Z': k = key::kShiftTab; break;
    case '~': case '$': case '^': case '@': {
      if (final == '~' && at(0) == 27 && p.size() >= 3) {  // xterm modifyOtherKeys
        emitKey(modifiedCharacter(at(2), mods));
        return;
      }
      if (final == '$') mods |= kShift;
      if (final == '^') mods |= kCtrl;
      if (final == '@') mods |= kCtrl | kShift;
      k = tildeKey(at(0), mods);
      break;
    }
    case 'u':
      emitKey(modifiedCharacter(at(0), mods));
      return;
    default: return;
  }
  emitKey(withModifiers(k, mods));
}

void KeyDecoder::interpretSs3(std::string_view params, char final, bool alt) {
  const std::vector<int> p = numbers(params);
  int mods = alt ? kAlt : 0;
  if (!p.empty()) mods |= modifierBits(p.back());  // ESC O 2 P or ESC O 1 ; 2 P
  int16_t k = key::kNone;
  switch (final) {
    case 'A': case 'B': case 'C': case 'D': k = arrowKey(final); break;
    case 'a': case 'b': case 'c': case 'd':  // rxvt: Ctrl+arrow
      k = arrowKey(static_cast<char>(final - 32));
      mods |= kCtrl;
      break;
    case 'H': k = key::kHome; break;
    case 'F': k = key::kEnd; break;
    case 'E': k = key::kCentre; break;
    case 'P': case 'Q': case 'R': case 'S': k = functionKey(final - 'P' + 1); break;
    case 'M': k = key::kEnter; break;
    case 'I': k = key::kTab; break;
    case 'X': k = '='; break;
    default:
      // The keypad in application mode: ESC O j .. ESC O y are * + , - . / 0-9.
      if (final >= 'p' && final <= 'y') {
        const int digit = final - 'p';
        if ((mods & (kAlt | kCtrl | kShift)) == kAlt) {
          keypadDigit(digit);
          return;
        }
        static constexpr int16_t kNavigation[10] = {key::kInsert, key::kEnd,    key::kDown,  key::kPgDn,
                                                    key::kLeft,   key::kCentre, key::kRight, key::kHome,
                                                    key::kUp,     key::kPgUp};
        k = keypadNavigation_ ? kNavigation[digit] : static_cast<int16_t>('0' + digit);
      } else if (final == 'n' && keypadNavigation_) {
        k = key::kDelete;
      } else if (final >= 'j' && final <= 'o') {
        k = static_cast<uint8_t>("*+,-./"[final - 'j']);
      }
      break;
  }
  emitKey(withModifiers(k, mods));
}

}  // namespace xt

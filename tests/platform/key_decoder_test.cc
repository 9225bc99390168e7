#include "platform/posix/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/key_codes.h"

namespace xt {
namespace {

struct Case {
  std::string bytes;
  int expected;  // key code as an unsigned 16-bit value
  std::string what;
};

// Every event the decoder gives for the bytes, fed whole or one byte at a
// time (one millisecond apart, well inside the ESC delay).
std::vector<InputEvent> decode(const std::string& bytes, bool byteByByte, KeyDecoder& d) {
  std::vector<InputEvent> out;
  int64_t t = 1000;
  if (byteByByte) {
    for (char c : bytes) {
      d.feed(std::string_view(&c, 1), t);
      while (auto e = d.next(t)) out.push_back(*e);
      ++t;
    }
  } else {
    d.feed(bytes, t);
    while (auto e = d.next(t)) out.push_back(*e);
  }
  return out;
}

void expectKey(const Case& c) {
  for (bool byteByByte : {false, true}) {
    KeyDecoder d;
    auto events = decode(c.bytes, byteByByte, d);
    SCOPED_TRACE(c.what + (byteByByte ? " (byte by byte)" : " (whole)"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, InputEvent::Kind::Key);
    EXPECT_EQ(static_cast<uint16_t>(events[0].key), c.expected);
    EXPECT_TRUE(d.idle());
  }
}

TEST(KeyDecoder, FunctionKeysWithEveryModifierAndEveryForm) {
  // F1-F4 in SS3 (plain) and CSI 1;m forms, F5-F12 as CSI n;m ~.
  const char* plainF1to4[] = {"\x1bOP", "\x1bOQ", "\x1bOR", "\x1bOS"};
  const int tilde[] = {0, 0, 0, 0, 15, 17, 18, 19, 20, 21, 23, 24};
  // Modifier parameter -> which table applies (Alt over Ctrl over Shift).
  struct Mod { int parameter; char kind; };
  const Mod mods[] = {{2, 'S'}, {5, 'C'}, {3, 'A'}, {6, 'C'}, {7, 'A'}, {4, 'A'}, {8, 'A'}};
  for (int f = 1; f <= 12; ++f) {
    int base = f <= 10 ? 0x3B00 + (f - 1) * 0x100 : f == 11 ? 0x8500 : 0x8600;
    std::string name = "F" + std::to_string(f);
    if (f <= 4) {
      expectKey({plainF1to4[f - 1], base, name});
      expectKey({"\x1b[" + std::to_string(10 + f) + "~", base, name + " rxvt/PuTTY"});
    } else {
      expectKey({"\x1b[" + std::to_string(tilde[f - 1]) + "~", base, name});
    }
    for (const Mod& m : mods) {
      int add = f <= 10 ? (m.kind == 'S' ? 0x1900 : m.kind == 'C' ? 0x2300 : 0x2D00)
                        : (m.kind == 'S' ? 0x0200 : m.kind == 'C' ? 0x0400 : 0x0600);
      std::string p = std::to_string(m.parameter);
      std::string seq = f <= 4 ? "\x1b[1;" + p + std::string(1, "PQRS"[f - 1])
                               : "\x1b[" + std::to_string(tilde[f - 1]) + ";" + p + "~";
      expectKey({seq, base + add, name + " modifier " + p});
    }
    // ESC + the sequence is Alt+key (PuTTY, and xterm without modifiers).
    std::string plain = f <= 4 ? plainF1to4[f - 1] : "\x1b[" + std::to_string(tilde[f - 1]) + "~";
    expectKey({"\x1b" + plain, base + (f <= 10 ? 0x2D00 : 0x0600), "Alt " + name + " by ESC"});
  }
}

TEST(KeyDecoder, TerminalVariantsOfFunctionKeys) {
  const Case cases[] = {
      // The Linux console.
      {"\x1b[[A", 0x3B00, "linux F1"}, {"\x1b[[B", 0x3C00, "linux F2"},
      {"\x1b[[C", 0x3D00, "linux F3"}, {"\x1b[[D", 0x3E00, "linux F4"},
      {"\x1b[[E", 0x3F00, "linux F5"},
      // rxvt: Shift by '$', Ctrl by '^', Ctrl+Shift by '@'; Shift+F3..F10 as 25~..34~.
      {"\x1b[25~", 0x5600, "rxvt Shift+F3"}, {"\x1b[26~", 0x5700, "rxvt Shift+F4"},
      {"\x1b[28~", 0x5800, "rxvt Shift+F5"}, {"\x1b[29~", 0x5900, "rxvt Shift+F6"},
      {"\x1b[31~", 0x5A00, "rxvt Shift+F7"}, {"\x1b[34~", 0x5D00, "rxvt Shift+F10"},
      {"\x1b[23$", 0x8700, "rxvt Shift+F11"}, {"\x1b[24$", 0x8800, "rxvt Shift+F12"},
      {"\x1b[11^", 0x5E00, "rxvt Ctrl+F1"}, {"\x1b[21^", 0x6700, "rxvt Ctrl+F10"},
      {"\x1b[24^", 0x8A00, "rxvt Ctrl+F12"}, {"\x1b[12@", 0x5F00, "rxvt Ctrl+Shift+F2"},
      // Old xterm and konsole: the modifier inside SS3.
      {"\x1bO2P", 0x5400, "SS3 Shift+F1"}, {"\x1bO5Q", 0x5F00, "SS3 Ctrl+F2"},
      {"\x1bO1;3S", 0x6B00, "SS3 Alt+F4"},
      // PuTTY: Alt is ESC before the sequence.
      {"\x1b\x1b[11~", 0x6800, "PuTTY Alt+F1"}, {"\x1b\x1b[24~", 0x8C00, "PuTTY Alt+F12"},
      {"\x1b\x1b[[E", 0x6C00, "linux Alt+F5"},
  };
  for (const Case& c : cases) expectKey(c);
}

TEST(KeyDecoder, EditingKeysFromEveryTerminal) {
  const Case cases[] = {
      {"\x1b[A", 0x4800, "Up"}, {"\x1b[B", 0x5000, "Down"}, {"\x1b[C", 0x4D00, "Right"},
      {"\x1b[D", 0x4B00, "Left"}, {"\x1bOA", 0x4800, "SS3 Up"}, {"\x1bOD", 0x4B00, "SS3 Left"},
      {"\x1b[H", 0x4700, "Home"}, {"\x1bOH", 0x4700, "SS3 Home"}, {"\x1b[1~", 0x4700, "Home 1~"},
      {"\x1b[7~", 0x4700, "rxvt Home"}, {"\x1b[F", 0x4F00, "End"}, {"\x1bOF", 0x4F00, "SS3 End"},
      {"\x1b[4~", 0x4F00, "End 4~"}, {"\x1b[8~", 0x4F00, "rxvt End"},
      {"\x1b[5~", 0x4900, "PgUp"}, {"\x1b[6~", 0x5100, "PgDn"},
      {"\x1b[2~", 0x5200, "Ins"}, {"\x1b[3~", 0x5300, "Del"},
      {"\x1b[E", 0x4C00, "centre xterm"}, {"\x1bOE", 0x4C00, "centre SS3"},
      {"\x1b[G", 0x4C00, "centre linux/PuTTY"}, {"\x1b[Z", 0x0F00, "Shift-Tab"},
      // Ctrl with the keys that have a Ctrl code.
      {"\x1b[1;5D", 0x7300, "Ctrl+Left"}, {"\x1b[1;5C", 0x7400, "Ctrl+Right"},
      {"\x1b[1;5H", 0x7700, "Ctrl+Home"}, {"\x1b[1;5F", 0x7500, "Ctrl+End"},
      {"\x1b[5;5~", 0x8400, "Ctrl+PgUp"}, {"\x1b[6;5~", 0x7600, "Ctrl+PgDn"},
      {"\x1b[1;5~", 0x7700, "Ctrl+Home 1~"}, {"\x1b[5D", 0x7300, "old xterm Ctrl+Left"},
      {"\x1bOd", 0x7300, "rxvt Ctrl+Left"}, {"\x1bOc", 0x7400, "rxvt Ctrl+Right"},
      {"\x1b[7^", 0x7700, "rxvt Ctrl+Home"}, {"\x1b[8^", 0x7500, "rxvt Ctrl+End"},
      // Modifiers without a PC code of their own give the plain key.
      {"\x1bOa", 0x4800, "rxvt Ctrl+Up"}, {"\x1b[a", 0x4800, "rxvt Shift+Up"},
      {"\x1b[1;2A", 0x4800, "Shift+Up"}, {"\x1b[2$", 0x5200, "rxvt Shift+Ins"},
      {"\x1b\x1b[A", 0x4800, "PuTTY Alt+Up"}, {"\x1b[1;3D", 0x4B00, "Alt+Left"},
      // Keypad in application mode.
      {"\x1bOM", 13, "keypad Enter"}, {"\x1bOq", '1', "keypad 1"}, {"\x1bOk", '+', "keypad +"},
  };
  for (const Case& c : cases) expectKey(c);
}

TEST(KeyDecoder, CharactersControlsAndAltLetters) {
  const Case cases[] = {
      {"a", 'a', "a"}, {"\r", 13, "Enter"}, {"\t", 9, "Tab"}, {"\x7f", 8, "Backspace DEL"},
      {"\x08", 8, "Backspace BS"}, {"\x03", 3, "Ctrl-C"}, {"\x13", 19, "Ctrl-S"},
      {"\x16", 22, "Ctrl-V"}, {"\x1a", 26, "Ctrl-Z"}, {"\x01", 1, "Ctrl-A"},
      {"\xc3\xa9", 0x82, "e acute"}, {"\xe2\x82\xac", 0xD5, "euro"}, {"\xc3\xa7", 0x87, "c cedilla"},
      {"\xc3\x91", 0xA5, "N tilde"}, {"\xc2\xb7", 0xFA, "middle dot"},
      {"\x1bx", 0x2D00, "Alt+x"}, {"\x1bX", 0x2D00, "Alt+Shift+x"}, {"\x1b" "c", 0x2E00, "Alt+c"},
      {"\x1b" "e", 0x1200, "Alt+e"}, {"\x1b" "f", 0x2100, "Alt+f"}, {"\x1b" "1", 0x7800, "Alt+1"},
      {"\x1b" "0", 0x8100, "Alt+0"}, {"\x1b\x7f", 0x0E00, "Alt+Backspace"},
      {"\x1b\r", 0x1C00, "Alt+Enter"},
      // xterm's modifyOtherKeys and the CSI u form.
      {"\x1b[27;3;120~", 0x2D00, "modifyOtherKeys Alt+x"}, {"\x1b[99;3u", 0x2E00, "CSI u Alt+c"},
      {"\x1b[97;5u", 1, "CSI u Ctrl+a"},
  };
  for (const Case& c : cases) expectKey(c);

  // The whole PC scan table for Alt+letters.
  const int scan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                        0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  for (int i = 0; i < 26; ++i) {
    std::string letter(1, static_cast<char>('a' + i));
    expectKey({"\x1b" + letter, scan[i] << 8, "Alt+" + letter});
  }
  for (int d = 1; d <= 9; ++d) expectKey({"\x1b" + std::to_string(d), (0x77 + d) << 8, "Alt+digit"});
}

std::vector<int> keys(KeyDecoder& d, int64_t now) {
  std::vector<int> out;
  while (auto e = d.next(now)) out.push_back(static_cast<uint16_t>(e->key));
  return out;
}

TEST(KeyDecoderEsc, ALoneEscWaitsForTheDelay) {
  KeyDecoder d;
  d.feed("\x1b", 0);
  EXPECT_TRUE(keys(d, 0).empty());
  EXPECT_EQ(d.msUntilTimeout(10), 15);
  EXPECT_TRUE(keys(d, 24).empty());
  EXPECT_EQ(keys(d, 25), std::vector<int>{27});
  EXPECT_EQ(d.msUntilTimeout(30), -1);
  // A character after the delay is just the character.
  d.feed("\x1b", 100);
  EXPECT_EQ(keys(d, 130), std::vector<int>{27});
  d.feed("x", 131);
  EXPECT_EQ(keys(d, 131), std::vector<int>{'x'});
}

TEST(KeyDecoderEsc, DelayIsAdjustable) {
  KeyDecoder d(100);
  d.feed("\x1b", 0);
  EXPECT_TRUE(keys(d, 60).empty());
  EXPECT_EQ(keys(d, 100), std::vector<int>{27});
}

TEST(KeyDecoderEsc, TwoEscsAndAltBracketAfterTheDelay) {
  KeyDecoder d;
  d.feed("\x1b\x1b", 0);
  EXPECT_TRUE(keys(d, 5).empty());
  EXPECT_EQ(keys(d, 25), (std::vector<int>{27, 27}));
  d.feed("\x1b[", 50);
  EXPECT_EQ(keys(d, 80), std::vector<int>{0x1A00});  // Alt+[
  d.feed("\x1bO", 100);
  EXPECT_EQ(keys(d, 130), std::vector<int>{0x1800});  // Alt+O
}

TEST(KeyDecoderEsc, SequenceSplitAcrossReadsStillDecodes) {
  KeyDecoder d;
  d.feed("\x1b[1", 0);
  d.feed(";5", 10);
  EXPECT_TRUE(keys(d, 20).empty());
  d.feed("D", 30);  // within the delay of the last byte
  EXPECT_EQ(keys(d, 30), std::vector<int>{0x7300});
}

TEST(KeyDecoderEsc, AnUnfinishedSequenceIsDroppedNotTyped) {
  KeyDecoder d;
  d.feed("\x1b[1;5", 0);
  EXPECT_TRUE(keys(d, 100).empty());
  EXPECT_TRUE(d.idle());
  d.feed("\xc3", 200);  // half a UTF-8 letter
  EXPECT_TRUE(keys(d, 300).empty());
  d.feed("a", 301);
  EXPECT_EQ(keys(d, 301), std::vector<int>{'a'});
}

TEST(KeyDecoder, UnknownSequencesVanish) {
  KeyDecoder d;
  d.feed("\x1b[99~a\x1b[?1;2cb\x1b[Ic\x1b[200~d\x1b[1;2;3;4x\x1bOze\x1b[2 qf\x1b[M !!g", 0);
  EXPECT_EQ(keys(d, 0), (std::vector<int>{'a', 'b', 'c', 'd', 'e', 'f', 'g'}));
  EXPECT_TRUE(d.idle());
}

TEST(KeyDecoder, MixedStreamKeepsOrder) {
  KeyDecoder d;
  d.feed("ab\x1bOPc\x1b[1;5Dd\xe2\x82\xac", 0);
  EXPECT_EQ(keys(d, 0), (std::vector<int>{'a', 'b', 0x3B00, 'c', 0x7300, 'd', 0xD5}));
}

TEST(KeyDecoder, MalformedAndUnmappableTextIsDropped) {
  KeyDecoder d;
  // A stray continuation byte, an invalid lead byte, a broken sequence, a
  // check mark and a PC graphic glyph (text, not the control key 0x10).
  d.feed("\x80" "a\xff" "b\xc3x\xe2\x9c\x93\xe2\x96\xba" "c", 0);
  EXPECT_EQ(keys(d, 0), (std::vector<int>{'a', 'b', 'x', 'c'}));
}

TEST(KeyDecoder, MouseReleasesOnly) {
  KeyDecoder d;
  d.feed("\x1b[<0;10;5M\x1b[<0;10;5m\x1b[<2;3;4m\x1b[<1;80;25m\x1b[<32;9;9M\x1b[<64;1;1M\x1b[<3;1;1m", 0);
  std::vector<InputEvent> events;
  while (auto e = d.next(0)) events.push_back(*e);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, InputEvent::Kind::Mouse);
  EXPECT_EQ(events[0].button, 1);
  EXPECT_EQ(events[0].row, 5);
  EXPECT_EQ(events[0].column, 10);
  EXPECT_EQ(events[1].button, 2);  // right
  EXPECT_EQ(events[1].row, 4);
  EXPECT_EQ(events[2].button, 4);  // middle
  EXPECT_EQ(events[2].column, 80);
}

// Keys and clicks as numbers: a click is -1.
std::vector<int> events(KeyDecoder& d, int64_t now) {
  std::vector<int> out;
  while (auto e = d.next(now))
    out.push_back(e->kind == InputEvent::Kind::Mouse ? -1 : static_cast<uint16_t>(e->key));
  return out;
}

// Alt with keypad digits as rxvt and tmux send it (ESC ESC O p..y) and as
// xterm does (ESC O 3 p..y). Reads 10 ms apart, then `then` ms more.
TEST(KeyDecoderKeypadEntry, AltWithKeypadDigitsGivesTheCharacterCode) {
  const std::string alt2 = "\x1b\x1bOr", alt5 = "\x1b\x1bOu", alt3 = "\x1bO3s", alt0 = "\x1bO3p";
  const struct {
    std::string what;
    std::vector<std::string> reads;
    int then;
    std::vector<int> expected;
  } cases[] = {
      {"Alt+2 Alt+5, a second later", {alt2, alt5}, 1000, {25}},
      {"Alt+3 Alt+0 Alt+0 is 300 mod 256", {alt3, alt0, alt0}, 1000, {44}},
      {"both forms in one read", {alt2 + "\x1bO3u"}, 1000, {25}},
      {"a typed key ends it and follows", {alt2, alt5, "x"}, 0, {25, 'x'}},
      {"so does a function key", {alt3, alt0, alt0 + "\x1bOP"}, 0, {44, 0x3B00}},
      {"and a click", {alt2, alt5, "\x1b[<0;10;5m"}, 0, {25, -1}},
      {"and a keypad digit without Alt", {alt2, "\x1bOq"}, 0, {2, '1'}},
      {"and Alt with a top-row digit", {alt2, "\x1b" "5"}, 0, {2, 0x7C00}},
      {"keys before the entry come first", {"a" + alt2 + alt5}, 1000, {'a', 25}},
      {"code 0 is no key", {alt0, "b"}, 0, {'b'}},
  };
  for (const auto& c : cases) {
    for (bool byteByByte : {false, true}) {
      SCOPED_TRACE(c.what + (byteByByte ? " (byte by byte)" : ""));
      KeyDecoder d;
      std::vector<int> got;
      int64_t t = 0;
      for (const std::string& read : c.reads) {
        for (size_t i = 0; i < read.size(); i += byteByByte ? 1 : read.size())
          d.feed(std::string_view(read).substr(i, byteByByte ? 1 : read.size()), t);
        for (int k : events(d, t)) got.push_back(k);
        t += 10;
      }
      for (int k : events(d, t - 10 + c.then)) got.push_back(k);
      EXPECT_EQ(got, c.expected);
      EXPECT_TRUE(d.idle());
    }
  }
}

TEST(KeyDecoderKeypadEntry, WaitsOneSecondFromTheLastDigit) {
  KeyDecoder d;
  d.feed("\x1b\x1bOr", 0);
  d.feed("\x1b\x1bOu", 900);
  EXPECT_TRUE(events(d, 1500).empty());
  EXPECT_EQ(d.msUntilTimeout(1500), 400);
  EXPECT_EQ(events(d, 1900), std::vector<int>{25});
  EXPECT_EQ(d.msUntilTimeout(1900), -1);
  d.feed("\x1b\x1bOs", 3000);  // thrown away with the rest of the input
  d.reset();
  EXPECT_TRUE(d.idle());
}

// Without Alt: digits, or with keypad navigation (rxvt, NumLock off) the
// keys printed below them.
TEST(KeyDecoderKeypadEntry, KeypadWithoutAlt) {
  const int16_t below[10] = {0x5200, 0x4F00, 0x5000, 0x5100, 0x4B00, 0x4C00, 0x4D00, 0x4700, 0x4800, 0x4900};
  for (bool navigation : {false, true}) {
    KeyDecoder d;
    d.setKeypadNavigation(navigation);
    std::vector<int> expected;
    for (int i = 0; i < 10; ++i) {
      d.feed(std::string("\x1bO") + static_cast<char>('p' + i), 0);
      expected.push_back(navigation ? below[i] : '0' + i);
    }
    d.feed("\x1bOn\x1bOk\x1bO5w\x1b\x1bOr\x1b\x1bOu\x1bOM", 0);
    for (int k : {navigation ? 0x5300 : '.', int{'+'}, navigation ? 0x7700 : '7', 25, 13})
      expected.push_back(k);
    EXPECT_EQ(events(d, 0), expected) << navigation;
  }
}

TEST(KeyDecoder, CursorReportOnlyWhileAwaited) {
  KeyDecoder d;
  d.feed("\x1b[1;5R", 0);
  EXPECT_EQ(keys(d, 0), std::vector<int>{0x6000});  // Ctrl+F3
  d.awaitCursorReport();
  d.feed("\x1b[12;40R", 1);
  EXPECT_TRUE(keys(d, 1).empty());
  auto report = d.takeCursorReport();
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->row, 12);
  EXPECT_EQ(report->column, 40);
  EXPECT_FALSE(d.takeCursorReport().has_value());
  d.feed("\x1b[1;5R", 2);
  EXPECT_EQ(keys(d, 2), std::vector<int>{0x6000});
}

}  // namespace
}  // namespace xt

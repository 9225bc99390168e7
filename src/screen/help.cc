#include "screen/help.h"

#include <cstdint>

#include "base/language.h"
#include "platform/binary_file.h"
#include "platform/key_codes.h"
#include "screen/key_reader.h"
#include "screen/message_box.h"
#include "screen/screen.h"
#include "screen/screen_stack.h"
#include "screen/text_styles.h"

namespace xt {

namespace {

constexpr const char* kGeneralHelpTopic = "XMENUPR";  // the help of the suite's main menu
constexpr int kVisibleCharacters = 76;
// Control characters of a help line: each toggles a style and takes no room.
constexpr char kHighlightToggle = '\x1E';
constexpr char kUnderlineToggle = '\x1F';
constexpr char kReverseToggle = '\x10';

bool sameTopic(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

// The next key typed, read from the console itself: no pending tool text,
// no hot keys, mouse events ignored.
int16_t readHelpKey(Screen& screen) {
  for (;;) {
    int16_t key = readConsoleKey(screen, -1);
    if (key != 0) return key;
  }
}

// Runs the document opener through COMSPEC (a POSIX shell when it is
// empty). A Windows command interpreter gets the line as it stands
// ("<COMSPEC> /C XOBRIR AJUDA\topic.HTM"); a POSIX shell (an absolute
// Unix path) is run as "<shell> -c <line>", with the document path quoted
// so that its backslash reaches the opener unchanged. The topic is a plain
// name, so nothing in the line is shell syntax.
void openHtmlHelp(Screen& screen, const std::string& topic) {
  std::string shell = screen.system.env("COMSPEC");
  if (shell.empty()) shell = "/bin/sh";
  const std::string document = "AJUDA\\" + topic + ".HTM";
  const bool posixShell = shell.front() == '/';
  // The opener gets the terminal as the user had it; whatever it printed
  // is covered again afterwards.
  screen.console.leaveTerminal();
  screen.system.runCommand(shell, "XOBRIR " + (posixShell ? "'" + document + "'" : document));
  screen.console.returnToTerminal();
}

void showMissingHelp(Screen& screen, const std::string& topic) {
  std::string text = pickLanguage(screen.settings,
                                  "L'AJUDA DE " + topic + " NO EST\xB7 DISPONIBLE.",  // À
                                  "LA AYUDA DE " + topic + " NO EST\xB5 DISPONIBLE.",  // Á
                                  "A AXUDA DE " + topic + " NON EST\xB5 DISPO\xA5IBLE.",  // Á Ñ
                                  "ERA AJUDA DE " + topic + " NON EI DISPONIBLA.");
  messageBox(screen, static_cast<int16_t>(screenRows(screen) / 2), text);
  readHelpKey(screen);
  restoreRegion(screen);
}

// The text help viewer over one open help file. Lines are numbered from 1;
// `next_` is the line after the last one shown.
class HelpViewer {
 public:
  HelpViewer(Screen& screen, const BinaryFile& file, const std::string& topic)
      : screen_(screen), file_(file), topic_(topic) {
    width_ = screenColumns(screen);
    visible_ = screenRows(screen) - 8;
    lineCount_ = (file.size() + width_ / 2) / width_;
  }

  void run() {
    showLines(1, visible_);
    for (;;) {
      int16_t key = readHelpKey(screen_);
      switch (key) {
        case key::kF1:
          if (!sameTopic(topic_, kGeneralHelpTopic)) showHelp(screen_, kGeneralHelpTopic);
          break;
        case key::kDown:
          if (next_ <= lineCount_) {
            scrollInside(1);
            showLine(next_, visible_);
            ++next_;
          }
          break;
        case key::kUp:
          if (next_ - visible_ > 1) {
            --next_;
            scrollInside(-1);
            showLine(next_ - visible_, 1);
          }
          break;
        case key::kPgDn:
          if (next_ <= lineCount_) {
            int64_t first = next_;
            if (first + visible_ - 1 > lineCount_) first = lineCount_ - visible_ + 1;
            showPage(first);
          }
          break;
        case key::kPgUp:
          if (next_ - visible_ > 1) {
            // The old top line becomes the bottom line, never going above line 1.
            int64_t oldNext = next_ - 2 * visible_ < 1 ? 2 * visible_ : next_;
            showPage(oldNext - 2 * visible_ + 1);
          }
          break;
        case key::kHome:
          if (next_ - visible_ > 1) showPage(1);
          break;
        case key::kEnd:
          if (next_ <= lineCount_) showPage(lineCount_ - visible_ + 1);
          break;
        case key::kEsc:
          return;
        default:
          break;
      }
    }
  }

 private:
  // The inside of the frame moves in the normal style, so no colour of
  // the line shown last leaks into the freed rows.
  void scrollInside(int lines) {
    selectTextStyle(screen_, "n");
    const WindowState& w = screen_.windows;
    scrollRectangle(screen_, w.windowTop, w.windowLeft, static_cast<int16_t>(w.windowBottom - 2),
                    static_cast<int16_t>(w.windowRight - 2), static_cast<int16_t>(lines));
  }

  void showPage(int64_t first) {
    scrollInside(visible_);
    showLines(first, first + visible_ - 1);
  }

  // Lines first..last in window rows 1...
  void showLines(int64_t first, int64_t last) {
    for (int64_t k = first; k <= last; ++k) showLine(k, static_cast<int>(k - first + 1));
    next_ = last + 1;
  }

  void showLine(int64_t k, int row) {
    selectTextStyle(screen_, "n");
    locateInWindow(screen_, static_cast<int16_t>(row), 2);
    if (k < 1 || k > lineCount_) return;
    std::string line = file_.readAt((k - 1) * width_, static_cast<size_t>(width_));
    // The line end is never drawn, however many style toggles leave room
    // for it.
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.find_first_of(std::string{kHighlightToggle, kUnderlineToggle, kReverseToggle}) ==
        std::string::npos) {
      printText(screen_, line.substr(0, kVisibleCharacters));
      return;
    }
    bool highlight = false, underline = false, reverse = false;
    int shown = 0;
    std::string run;  // visible characters waiting to be written in the current style
    auto select = [&](const char* letters) {
      printText(screen_, run);
      run.clear();
      selectTextStyle(screen_, letters);
    };
    for (char c : line) {
      if (c == kHighlightToggle) {
        highlight = !highlight;
        if (!underline) select(highlight ? "h" : "n");
      } else if (c == kUnderlineToggle) {
        underline = !underline;
        select(underline ? "u" : "n");
      } else if (c == kReverseToggle) {
        reverse = !reverse;
        select(reverse ? "r" : "n");
      } else if (++shown <= kVisibleCharacters) {
        run.push_back(c);
      }
    }
    printText(screen_, run);
  }

  Screen& screen_;
  const BinaryFile& file_;
  std::string topic_;
  int64_t width_ = 80;
  int64_t visible_ = 17;
  int64_t lineCount_ = 0;
  int64_t next_ = 1;
};

void runTextViewer(Screen& screen, const std::string& topic) {
  BinaryFile file;
  if (!file.open(screen.fs, "AJUDA\\" + topic + ".HLP", BinaryFile::Mode::Read).ok()) {
    showMissingHelp(screen, topic);
    return;
  }
  selectTextStyle(screen, "+h");
  int16_t depth = screen.windows.windowDepth;
  saveRegion(screen, 4, 1, static_cast<int16_t>(screenRows(screen) - 3), screenColumns(screen));
  if (screen.windows.windowDepth == depth) {
    // Nothing could be saved: drawing now could never be undone.
    selectTextStyle(screen, "-");
    return;
  }
  drawFrame(screen, 2);
  selectTextStyle(screen, "n");
  HelpViewer(screen, file, topic).run();
  file.close();
  restoreRegion(screen);
  selectTextStyle(screen, "-");
}

}  // namespace

bool isPlainTopic(const std::string& topic) {
  if (topic.empty()) return false;
  for (char c : topic) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
                 c == '-';
    if (!plain) return false;
  }
  return true;
}

void showHelp(Screen& screen, const std::string& topic) {
  if (screen.settings.hostKind == "WIN" && isPlainTopic(topic)) {
    openHtmlHelp(screen, topic);
    return;
  }
  runTextViewer(screen, topic);
}

}  // namespace xt

// Help: on Windows hosts an HTML document opened by the suite's document
// opener XOBRIR through the command interpreter; otherwise the text help
// viewer, a framed window that scrolls through AJUDA\<topic>.HLP.
#pragma once

#include <string>

namespace xt {

struct Screen;

// Shows the help of topic and returns when it is closed. A topic that is
// not a plain name (letters, digits, "_" and "-") is never handed to the
// command interpreter; the text viewer shows it instead. A missing help
// file gives a message box that the next key closes.
void showHelp(Screen& screen, const std::string& topic);

// True for a non-empty topic of ASCII letters, digits, "_" and "-" only.
bool isPlainTopic(const std::string& topic);

}  // namespace xt

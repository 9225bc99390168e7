// The keyboard's Insert toggle kept from run to run: the console holds it
// for the process, and INSERT.TMP in the terminal directory, or else in the
// session directory ("1" insert, "0" overwrite), carries it to the next run. Without the file the editor
// starts in overwrite mode.
#pragma once

#include <string>

namespace xt {

struct Entry;

// Path of the state file; empty when the session has neither directory.
std::string insertStatePath(const Entry& entry);
// Sets the console's Insert toggle from the state file, once per process
// (later calls do nothing). A missing or unreadable file means overwrite.
void loadInsertState(Entry& entry);
// Writes the console's Insert toggle to the state file, replacing it
// atomically. Failures are ignored: the toggle still holds for this run.
void saveInsertState(Entry& entry);

}  // namespace xt

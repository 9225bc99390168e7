// The field entry of the form being run, one object: the screen it draws
// on, the loaded form, the hooks of the form's procedure, the opener of the
// look-up lists, and the entry's own state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "entry/form.h"
#include "entry/form_hooks.h"
#include "entry/value_stack.h"

namespace xt {

struct Screen;
struct Entry;

struct EntryState {
  int16_t resumeGroup = 0;         // the group left with PgUp/PgDn; 0 = none
  bool insertStateLoaded = false;  // INSERT.TMP read (once per process)
  ValueStack values;
  std::string currentChoices;  // the choice list of the field being edited
};

// Opens look-up list `list` over the field being edited; result: the list's
// answer (0 a record chosen, else given up). Wired by main to the browse
// list; unset, every list is given up.
using LookupOpener = std::function<void(Entry& entry, int16_t& list, int16_t& result)>;

struct Entry {
  Entry(Screen& screen, FormDefinition& form) : screen(screen), form(form), hooks(&noHooks) {}
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  Screen& screen;
  FormDefinition& form;
  FormHooks noHooks;
  FormHooks* hooks;  // the procedure of the form being run
  LookupOpener browseList;
  EntryState state;
};

}  // namespace xt

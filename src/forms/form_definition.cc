#include "forms/form_definition.h"

#include <cmath>
#include <optional>

#include "base/item_reader.h"
#include "base/language.h"
#include "format/decimal_text.h"

namespace xt {

namespace {

constexpr int kScreenRows = 25;
constexpr int kScreenColumns = 80;

enum class Fault {
  NoGroups,
  NotANumber,
  OutOfRange,
  TooManyFields,
  NoSuchGroup,
  NoSuchList,
  BadWindow,
  Truncated,
  TrailingData,
};

struct FaultText {
  const char* catalan;
  const char* spanish;
  const char* galician;
  const char* aranese;
};

// Indexed by Fault.
constexpr FaultText kFaultTexts[] = {
    {"no t\x82 cap grup" /* é */, "no tiene ning\xA3n grupo" /* ú */,
     "non ten ning\xA3n grupo" /* ú */, "non a cap de grop"},
    {"s'esperava un nombre", "se esperaba un n\xA3mero" /* ú */,
     "agard\xA0" "base un n\xA3mero" /* á ú */, "s'esperava un nombre"},
    {"nombre fora de l\xA1mits" /* í */, "n\xA3mero fuera de l\xA1mites" /* ú í */,
     "n\xA3mero f\xA2ra de l\xA1mites" /* ú ó í */, "nombre f\x95ra de limits" /* ò */},
    {"el grup t\x82 m\x82s camps que el m\x85xim de la cap\x87" "alera" /* é é à ç */,
     "el grupo tiene m\xA0s campos que el m\xA0ximo de la cabecera" /* á á */,
     "o grupo ten m\xA0is campos que o m\xA0ximo da cabeceira" /* á á */,
     "eth grop a m\x8As camps qu'eth maxim dera cap\x87" "alera" /* è ç */},
    {"grup inexistent", "grupo inexistente", "grupo inexistente", "grop inexistent"},
    {"llista de consulta inexistent", "lista de consulta inexistente",
     "lista de consulta inexistente", "lista de consulta inexistenta"},
    {"finestra fora de la pantalla", "ventana fuera de la pantalla",
     "xanela f\xA2ra da pantalla" /* ó */, "fen\x8Astra f\x95ra dera pantalha" /* è ò */},
    {"el fitxer s'acaba abans d'hora", "el fichero termina antes de tiempo",
     "o ficheiro remata antes de tempo", "eth fich\x8Ar s'acaba abans d'ora" /* è */},
    {"dades despr\x82s de l'\xA3ltim registre" /* é ú */,
     "datos despu\x82s del \xA3ltimo registro" /* é ú */,
     "datos despois do \xA3ltimo rexistro" /* ú */,
     "donades demp\xA3s deth darr\x8Ar registre" /* ú è */},
};

std::string faultMessage(const SessionSettings& settings, const std::string& path, Fault fault, int line) {
  const FaultText& t = kFaultTexts[static_cast<int>(fault)];
  std::string n = std::to_string(line);
  std::string where = line > 0 ? pickLanguage(settings, ", l\xA1nia " /* í */, ", l\xA1nea " /* í */,
                                              ", li\xA4" "a " /* ñ */, ", linha ") + n
                               : "";
  return pickLanguage(settings, "Definici\xA2 del formulari incorrecta: " /* ó */,
                      "Definici\xA2n del formulario incorrecta: " /* ó */,
                      "Definici\xA2n do formulario incorrecta: " /* ó */,
                      "Definicion deth formulari incorr\x8A" "cta: " /* è */) +
         path + where + ": " +
         pickLanguage(settings, t.catalan, t.spanish, t.galician, t.aranese) + ".";
}

bool isInteger(std::string_view s) {
  size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// Reads the items of a form definition into a FormDefinition, checking
// every count and reference against the bounds the file itself sets.
class FormParser {
 public:
  explicit FormParser(std::string_view data) : reader_(data) {}

  bool parse();
  FormDefinition& form() { return form_; }
  Fault fault() const { return fault_; }
  int faultLine() const { return faultLine_; }

 private:
  bool fail(Fault fault, int line) {
    fault_ = fault;
    faultLine_ = line;
    return false;
  }
  // A count: a plain integer within lo..hi (beyond hi: tooHigh).
  bool count(int16_t& out, int hi, Fault tooHigh = Fault::OutOfRange);
  // Any other number: converted leniently, but it must fit 16 bits.
  bool number(int16_t& out);
  bool within(int16_t value, int lo, int hi, Fault fault) {
    return (value >= lo && value <= hi) || fail(fault, reader_.line());
  }
  bool window(const int16_t* rect, int line);
  bool recordComplete() { return !reader_.missed() || fail(Fault::Truncated, reader_.line()); }
  bool groupRecord(int g);
  bool lookupRecord(int j);

  ItemReader reader_;
  FormDefinition form_;
  Fault fault_ = Fault::NoGroups;
  int faultLine_ = 0;
  std::vector<std::pair<int16_t, int>> fieldLists_;  // list number, line
};

bool FormParser::count(int16_t& out, int hi, Fault tooHigh) {
  std::string text = reader_.readNumberText();
  if (reader_.missed()) return fail(Fault::Truncated, reader_.line());
  if (!isInteger(text)) return fail(Fault::NotANumber, reader_.line());
  double v = numericValue(text);
  if (v < 0) return fail(Fault::OutOfRange, reader_.line());
  if (v > hi) return fail(tooHigh, reader_.line());
  out = static_cast<int16_t>(v);
  return true;
}

bool FormParser::number(int16_t& out) {
  std::string text = reader_.readNumberText();
  double v = std::round(numericValue(text));
  if (v < -32768 || v > 32767) return fail(Fault::OutOfRange, reader_.line());
  out = static_cast<int16_t>(v);
  return true;
}

// A window is (top, left, bottom, right) on the 80x25 screen, frame
// included, with at least one row and column inside the frame.
bool FormParser::window(const int16_t* rect, int line) {
  int top = rect[0], left = rect[1], bottom = rect[2], right = rect[3];
  if (top >= 1 && left >= 1 && bottom <= kScreenRows && right <= kScreenColumns && bottom - top >= 2 &&
      right - left >= 2)
    return true;
  return fail(Fault::BadWindow, line);
}

bool FormParser::groupRecord(int g) {
  FieldGroup& group = form_.groups[static_cast<size_t>(g)];
  reader_.skipCommentLines();
  if (reader_.atEnd()) return fail(Fault::Truncated, reader_.line());
  group.groupKeys = reader_.readText();
  if (!count(group.groupFieldCount, form_.maxFieldCount, Fault::TooManyFields)) return false;
  if (!count(group.groupContinuation, form_.groupCount, Fault::NoSuchGroup)) return false;
  for (int e = 1; e <= 4; ++e)
    if (!number(group.groupWindow[e])) return false;
  if (!recordComplete()) return false;
  if (group.groupWindow[1] != 0 && !window(&group.groupWindow[1], reader_.line())) return false;

  for (int k = 1; k <= group.groupFieldCount; ++k) {
    FieldDef& field = group.fields[static_cast<size_t>(k)];
    if (!number(field.attr[kFieldRow]) || !number(field.attr[kFieldColumn])) return false;
    field.fieldLabel = reader_.readText();
    for (int a = kFieldWidth; a <= kFieldLookupList; ++a)
      if (!number(field.attr[a])) return false;
    field.fieldChoices = reader_.readText();
    if (!recordComplete()) return false;
    int line = reader_.line();
    if (!within(field.fieldWidth(), 0, kMaxFieldWidth, Fault::OutOfRange) ||
        !within(field.fieldLineWidth(), 0, kMaxFieldWidth, Fault::OutOfRange) ||
        !within(field.fieldClearWidth(), 0, kMaxFieldWidth, Fault::OutOfRange) ||
        !within(field.fieldLookupList(), 0, kMaxLookupLists, Fault::NoSuchList))
      return false;
    field.fieldValue = std::string(static_cast<size_t>(field.fieldWidth()), ' ');
    fieldLists_.emplace_back(field.fieldLookupList(), line);
  }
  return true;
}

bool FormParser::lookupRecord(int j) {
  LookupList& list = form_.lookups[static_cast<size_t>(j)];
  reader_.skipCommentLines();
  if (reader_.atEnd()) return fail(Fault::Truncated, reader_.line());
  for (int a = 0; a <= 6; ++a)
    if (!number(list.attr[a])) return false;
  list.lookupTitle = reader_.readText();
  if (!number(list.attr[7]) || !recordComplete()) return false;
  int line = reader_.line();
  return window(&list.attr[2], line) && within(list.attr[1], 0, 255, Fault::OutOfRange) &&
         within(list.attr[6], 0, form_.groupCount, Fault::NoSuchGroup) &&
         within(list.attr[7], 0, form_.lookupCount(), Fault::NoSuchList);
}

bool FormParser::parse() {
  reader_.skipCommentLines();
  if (reader_.atEnd()) return fail(Fault::NoGroups, 0);
  if (!count(form_.groupCount, kMaxFormGroups) || !count(form_.maxFieldCount, kMaxGroupFields))
    return false;
  if (form_.groupCount == 0) return fail(Fault::NoGroups, reader_.line());

  FieldGroup empty;
  empty.fields.resize(static_cast<size_t>(form_.maxFieldCount) + 1);
  form_.groups.assign(static_cast<size_t>(form_.groupCount) + 1, empty);
  for (int g = 1; g <= form_.groupCount; ++g)
    if (!groupRecord(g)) return false;

  // The look-up section is optional.
  form_.lookups.resize(1);
  reader_.skipCommentLines();
  int16_t lists = 0;
  if (!reader_.atEnd()) {
    if (!count(lists, kMaxLookupLists)) return false;
    form_.lookups.resize(static_cast<size_t>(lists) + 1);
    for (int j = 1; j <= lists; ++j)
      if (!lookupRecord(j)) return false;
  }

  // Reading stops after the last look-up list: what follows it (notes,
  // old records) is not looked at. Records after a count of 0 are taken
  // for a damaged count instead.
  reader_.skipCommentLines();
  if (lists == 0 && !reader_.atEnd()) {
    reader_.readText();
    return fail(Fault::TrailingData, reader_.line());
  }
  for (const auto& [list, line] : fieldLists_)
    if (list > form_.lookupCount()) return fail(Fault::NoSuchList, line);
  return true;
}

}  // namespace

FormLoadResult loadForm(FileSystem& fs, FormDefinition& loaded, const SessionSettings& settings, const std::string& path) {
  loaded = FormDefinition{};
  FormLoadResult result;
  std::optional<std::string> data = fs.readWholeFile(path);
  if (!data) {
    result.ok = false;
    result.message = pickLanguage(settings, "No es pot llegir la definici\xA2 del formulari " /* ó */,
                                  "No se puede leer la definici\xA2n del formulario " /* ó */,
                                  "Non se pode ler a definici\xA2n do formulario " /* ó */,
                                  "Non se p\x95t l\x82ger era definicion deth formulari " /* ò é */) +
                     path + ".";
    return result;
  }

  FormParser parser(*data);
  if (!parser.parse()) {
    result.ok = false;
    result.line = parser.faultLine();
    result.message = faultMessage(settings, path, parser.fault(), result.line);
    return result;
  }

  // Labels, choices and titles are shown in the session's language.
  FormDefinition& form = parser.form();
  for (int g = 1; g <= form.groupCount; ++g) {
    FieldGroup& group = form.group(g);
    for (int k = 1; k <= group.groupFieldCount; ++k) {
      FieldDef& field = group.fields[static_cast<size_t>(k)];
      field.fieldLabel = translateText(fs, settings, field.fieldLabel);
      field.fieldChoices = translateText(fs, settings, field.fieldChoices);
    }
  }
  for (int j = 1; j <= form.lookupCount(); ++j)
    form.lookups[static_cast<size_t>(j)].lookupTitle =
        translateText(fs, settings, form.lookups[static_cast<size_t>(j)].lookupTitle);
  loaded = std::move(form);
  return result;
}

FormLoadResult checkOperatorForm(const FormDefinition& form, const SessionSettings& settings,
                                 const std::string& path) {
  // The procedure uses field 1 of group 1 (the code), fields 1 and 2 of
  // group 2 (text, access level) and field 1 of group 3 (yes or no). The
  // code must be typable: without it group 1 is never entered, so Esc could
  // never end the program and every pass would store a blank code. The
  // answer is compared whole with "S", so it must be one character wide.
  const int needed[4] = {0, 1, 2, 1};
  bool fits = form.groupCount >= 3;
  for (int g = 1; fits && g <= 3; ++g)
    fits = form.groups[static_cast<size_t>(g)].groupFieldCount >= needed[g];
  if (fits) {
    const int16_t* code = form.groups[1].fields.at(1).attr;
    const int16_t* answer = form.groups[3].fields.at(1).attr;
    fits = code[kFieldWidth] >= 1 && (code[kFieldFlags] & kFlagProtected) == 0 && answer[kFieldWidth] == 1;
  }
  FormLoadResult result;
  if (fits) return result;
  result.ok = false;
  result.message =
      pickLanguage(settings, "El formulari ", "El formulario ", "O formulario ", "Eth formulari ") + path +
      pickLanguage(settings,
                   " ha de tenir tres grups: el codi (1 camp que es pugui escriure), les dades (2 camps) i la"
                   " confirmaci\xA2 (1 camp d'un car\x85" "cter)." /* ó à */,
                   " debe tener tres grupos: el c\xA2" "digo (1 campo que se pueda escribir), los datos (2 campos) y la"
                   " confirmaci\xA2n (1 campo de un car\xA0" "cter)." /* ó ó á */,
                   " debe ter tres grupos: o c\xA2" "digo (1 campo que se poida escribir), os datos (2 campos) e a"
                   " confirmaci\xA2n (1 campo dun car\xA0" "cter)." /* ó ó á */,
                   " a d'auer tres grops: eth c\x95" "di (1 camp que se pogue escr\xA1uer), es donades (2 camps) e era"
                   " confirmacion (1 camp d'un caract\x8A" "r)." /* ò í è */);
  return result;
}

}  // namespace xt

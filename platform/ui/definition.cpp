#include "platform/ui/definition.h"

#include <cctype>
#include <climits>
#include <map>
#include <optional>

#include "platform/system.h"
#include "platform/ui/stdctrls.h"

namespace ui {

// ---- Values ------------------------------------------------------------------------------
bool TPropertyValue::AsBool(bool* out) const {
  if (kind != kIdent) return false;
  if (text == "True" || text == "true")
    *out = true;
  else if (text == "False" || text == "false")
    *out = false;
  else
    return false;
  return true;
}

bool TPropertyValue::AsInt(int* out) const {
  if (kind != kInteger || integer < INT_MIN || integer > INT_MAX) return false;
  *out = static_cast<int>(integer);
  return true;
}

bool ColorFromIdent(const std::string& ident, TColor* color) {
  static const std::map<std::string, TColor> names = {
      {"clBlack", clBlack},
      {"clWhite", clWhite},
      {"clSilver", clSilver},
      {"clGray", clGray},
      {"clRed", clRed},
      {"clBtnFace", clBtnFace},
      {"clWindow", clWindow},
      {"clWindowText", clWindowText},
      {"clBackground", clBackground},
      {"clGrayText", clGrayText},
      {"clBtnText", clBtnText},
      {"clBtnShadow", clBtnShadow},
      {"clHighlight", clHighlight},
      {"clHighlightText", clHighlightText},
      {"clNone", clNone},
  };
  auto it = names.find(ident);
  if (it == names.end()) return false;
  *color = it->second;
  return true;
}

bool TPropertyValue::AsColor(TColor* out) const {
  if (kind == kInteger) {
    *out = static_cast<TColor>(integer);
    return true;
  }
  return kind == kIdent && ColorFromIdent(text, out);
}

namespace {

bool ReadCharset(const TPropertyValue& v, uint8_t* out) {
  if (v.kind == TPropertyValue::kInteger) {
    *out = static_cast<uint8_t>(v.integer);
    return true;
  }
  static const std::map<std::string, uint8_t> names = {
      {"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"GB2312_CHARSET", 134}};
  auto it = v.kind == TPropertyValue::kIdent ? names.find(v.text) : names.end();
  if (it == names.end()) return false;
  *out = it->second;
  return true;
}

template <typename E>
bool ReadEnum(const TPropertyValue& v, std::initializer_list<std::pair<const char*, E>> names,
              E* out) {
  if (v.kind != TPropertyValue::kIdent) return false;
  for (const auto& [name, value] : names)
    if (v.text == name) {
      *out = value;
      return true;
    }
  return false;
}

}  // namespace

// ---- Stored properties of the framework's classes ---------------------------------------------
bool TControl::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  bool b = false;
  TColor c = 0;
  if (name == "Left" && v.AsInt(&i)) return SetLeft(i), true;
  if (name == "Top" && v.AsInt(&i)) return SetTop(i), true;
  if (name == "Width" && v.AsInt(&i)) return SetWidth(i), true;
  if (name == "Height" && v.AsInt(&i)) return SetHeight(i), true;
  if (name == "Align") {
    TAlign a = alNone;
    if (!ReadEnum<TAlign>(v,
                          {{"alNone", alNone},
                           {"alTop", alTop},
                           {"alBottom", alBottom},
                           {"alLeft", alLeft},
                           {"alRight", alRight},
                           {"alClient", alClient},
                           {"alCustom", alCustom}},
                          &a))
      return false;
    SetAlign(a);
    return true;
  }
  if (name == "Anchors" && v.kind == TPropertyValue::kSet) {
    TAnchors a = 0;
    for (const auto& s : v.set) {
      if (s == "akLeft")
        a |= akLeft;
      else if (s == "akTop")
        a |= akTop;
      else if (s == "akRight")
        a |= akRight;
      else if (s == "akBottom")
        a |= akBottom;
      else
        return false;
    }
    Anchors = a;
    return true;
  }
  if (name == "Visible" && v.AsBool(&b)) return SetVisible(b), true;
  if (name == "Enabled" && v.AsBool(&b)) return SetEnabled(b), true;
  if (name == "Color" && v.AsColor(&c)) return SetColor(c), true;
  if (name == "ParentColor" && v.AsBool(&b)) {
    ParentColor = b;
    if (b) ParentColorChanged();
    return true;
  }
  if (name == "ParentFont" && v.AsBool(&b)) return SetParentFont(b), true;
  if (name == "Font.Name" && v.kind == TPropertyValue::kString) return Font.SetName(v.text), true;
  if (name == "Font.Height" && v.AsInt(&i)) return Font.SetHeight(i), true;
  if (name == "Font.Color" && v.AsColor(&c)) return Font.SetColor(c), true;
  if (name == "Font.Charset") {
    uint8_t cs = 0;
    if (!ReadCharset(v, &cs)) return false;
    Font.SetCharset(cs);
    return true;
  }
  if (name == "Font.Style" && v.kind == TPropertyValue::kSet) {
    uint32_t st = 0;
    for (const auto& s : v.set) {
      if (s == "fsBold")
        st |= fsBold;
      else if (s == "fsItalic")
        st |= fsItalic;
      else if (s == "fsUnderline")
        st |= fsUnderline;
      else if (s == "fsStrikeOut")
        st |= fsStrikeOut;
      else
        return false;
    }
    Font.SetStyle(st);
    return true;
  }
  if ((name == "Caption" || name == "Text") && v.kind == TPropertyValue::kString)
    return SetText(v.text), true;
  if (name == "Cursor") {
    TCursor cur = crDefault;
    if (!ReadEnum<TCursor>(v,
                           {{"crDefault", crDefault},
                            {"crArrow", crArrow},
                            {"crIBeam", crIBeam},
                            {"crHourGlass", crHourGlass},
                            {"crHandPoint", crHandPoint},
                            {"crSizeAll", crSizeAll}},
                           &cur))
      return false;
    Cursor = cur;
    return true;
  }
  if (name == "Hint" && v.kind == TPropertyValue::kString) return Hint = v.text, true;
  if (name == "ShowHint" && v.AsBool(&b)) return ShowHint = b, true;
  if (name == "ParentShowHint" && v.AsBool(&b)) return ParentShowHint = b, true;
  return TComponent::SetProperty(name, v);
}

bool TCustomForm::SetProperty(const std::string& name, const TPropertyValue& v) {
  int i = 0;
  if (name == "BorderStyle")
    return ReadEnum<TFormBorderStyle>(v,
                                      {{"bsNone", bsNone},
                                       {"bsSingle", bsSingle},
                                       {"bsSizeable", bsSizeable},
                                       {"bsDialog", bsDialog}},
                                      &BorderStyle);
  if (name == "Position")
    return ReadEnum<TPosition>(v, {{"poDesigned", poDesigned}, {"poScreenCenter", poScreenCenter}},
                               &Position);
  if (name == "ClientWidth" && v.AsInt(&i)) return SetClientSize(i, ClientHeight()), true;
  if (name == "ClientHeight" && v.AsInt(&i)) return SetClientSize(ClientWidth(), i), true;
  return TWinControl::SetProperty(name, v);
}

// ---- Classes
// ----------------------------------------------------------------------------------------
namespace {
std::map<std::string, TControlFactory>& Classes() {
  static std::map<std::string, TControlFactory> classes = {
      {"TLabel", [](TComponent* o) -> TControl* { return new TLabel(o); }},
      {"TButton", [](TComponent* o) -> TControl* { return new TButton(o); }},
      {"TCustomEdit", [](TComponent* o) -> TControl* { return new TCustomEdit(o); }},
  };
  return classes;
}
}  // namespace

void RegisterControlClass(const std::string& className, TControlFactory factory) {
  Classes()[className] = std::move(factory);
}

// ---- Reader
// ---------------------------------------------------------------------------------------
namespace {

struct Lexer {
  const std::string& line;
  int lineNo;
  size_t at = 0;
  [[noreturn]] void Fail(const std::string& what) const {
    throw EDefinitionError("window definition, line " + std::to_string(lineNo) + ": " + what);
  }
  void Skip() {
    while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
  }
  bool AtEnd() {
    Skip();
    return at >= line.size() || line[at] == '#';
  }
  std::string Word() {
    Skip();
    const size_t start = at;
    while (at < line.size() && (std::isalnum(static_cast<unsigned char>(line[at])) ||
                                line[at] == '_' || line[at] == '.'))
      ++at;
    if (start == at) Fail("a name is expected");
    return line.substr(start, at - start);
  }
  void Expect(char c) {
    Skip();
    if (at >= line.size() || line[at] != c) Fail(std::string("'") + c + "' is expected");
    ++at;
  }
  TPropertyValue Value() {
    Skip();
    TPropertyValue v;
    if (at >= line.size()) Fail("a value is expected");
    const char c = line[at];
    if (c == '\'') {
      v.kind = TPropertyValue::kString;
      std::string utf8;
      ++at;
      for (;;) {
        if (at >= line.size()) Fail("unterminated string");
        if (line[at] == '\'') {
          if (at + 1 < line.size() && line[at + 1] == '\'') {
            utf8 += '\'';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        utf8 += line[at++];
      }
      std::optional<std::string> gbk = platform::Utf8ToAnsi(utf8);
      if (!gbk) Fail("a string has characters outside the ANSI code page");
      v.text = *gbk;
    } else if (c == '@') {
      ++at;
      v.kind = TPropertyValue::kResource;
      const size_t start = at;
      while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at]))) ++at;
      v.text = line.substr(start, at - start);
    } else if (c == '[') {
      ++at;
      v.kind = TPropertyValue::kSet;
      Skip();
      if (at < line.size() && line[at] == ']') {
        ++at;
      } else {
        for (;;) {
          v.set.push_back(Word());
          Skip();
          if (at < line.size() && line[at] == ',') {
            ++at;
            continue;
          }
          Expect(']');
          break;
        }
      }
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      v.kind = TPropertyValue::kInteger;
      size_t used = 0;
      try {
        v.integer = std::stoll(line.substr(at), &used, 10);  // decimal: "010" is ten
      } catch (const std::exception&) {
        Fail("a number is expected");
      }
      at += used;
    } else {
      v.kind = TPropertyValue::kIdent;
      v.text = Word();
    }
    return v;
  }
};

}  // namespace

void ReadFormDefinition(TCustomForm* form, const std::string& definition,
                        const std::function<const std::string*(const std::string&)>& resources) {
  std::vector<TComponent*> stack;
  std::vector<TComponent*> created;
  size_t pos = 0;
  int lineNo = 0;
  bool done = false;
  form->ComponentState |= csLoading;
  while (pos <= definition.size() && !done) {
    size_t end = definition.find('\n', pos);
    if (end == std::string::npos) end = definition.size();
    std::string line = definition.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Lexer lex{line, lineNo};
    if (lex.AtEnd()) continue;
    const std::string word = lex.Word();
    if (word == "object") {
      const std::string name = lex.Word();
      const std::string className = lex.Word();
      if (stack.empty()) {
        form->Name = name;
        stack.push_back(form);
        continue;
      }
      auto it = Classes().find(className);
      if (it == Classes().end()) lex.Fail("unknown class " + className);
      auto* parent = dynamic_cast<TWinControl*>(stack.back());
      if (!parent) lex.Fail(name + " cannot hold controls");
      TControl* c = it->second(form);
      c->Name = name;
      c->ComponentState |= csLoading;
      c->SetParent(parent);
      created.push_back(c);
      stack.push_back(c);
    } else if (word == "end") {
      if (stack.empty()) lex.Fail("'end' without 'object'");
      stack.pop_back();
      if (stack.empty()) done = true;
    } else {
      if (stack.empty()) lex.Fail("a property outside an object");
      lex.Expect('=');
      TPropertyValue v = lex.Value();
      if (!lex.AtEnd()) lex.Fail("unexpected text after the value");
      TComponent* target = stack.back();
      if (word.size() > 2 && word.compare(0, 2, "On") == 0 && v.kind == TPropertyValue::kIdent) {
        if (!form->BindEvent(target, word, v.text))
          lex.Fail("unknown handler " + v.text + " for " + word);
        continue;
      }
      if (v.kind == TPropertyValue::kResource) {
        v.bytes = resources ? resources(v.text) : nullptr;
        if (!v.bytes) lex.Fail("unknown resource " + v.text);
      }
      if (!target->SetProperty(word, v)) lex.Fail("bad property " + word + " of " + target->Name);
    }
  }
  if (!stack.empty()) throw EDefinitionError("window definition: missing 'end'");
  for (TComponent* c : created) c->Loaded();
  form->Loaded();
  form->AlignControls();
}

}  // namespace ui

#include "ui/definition.h"

#include <cctype>
#include <map>
#include <optional>

#include "platform/system.h"

namespace ui {

// ---- Classes ---------------------------------------------------------------------------------
namespace {
std::map<std::string, TControlFactory>& Classes() {
  static std::map<std::string, TControlFactory> classes;
  return classes;
}
}  // namespace

void RegisterControlClass(const std::string& className, TControlFactory factory) {
  Classes()[className] = std::move(factory);
}

// ---- Reader ----------------------------------------------------------------------------------
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
  std::vector<TControl*> stack;
  std::vector<TComponent*> created;
  size_t pos = 0;
  int lineNo = 0;
  bool done = false;
  form->BeginLoading();
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
      c->BeginLoading();
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
      TControl* target = stack.back();
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

#include "ui/properties.h"

#include <climits>
#include <map>

namespace ui {

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

bool TPropertyValue::AsCharset(uint8_t* out) const {
  if (kind == kInteger) {
    *out = static_cast<uint8_t>(integer);
    return true;
  }
  return AsEnum<uint8_t>({{"ANSI_CHARSET", 0}, {"DEFAULT_CHARSET", 1}, {"GB2312_CHARSET", 134}},
                         out);
}

bool TPropertyValue::AsFlags(std::initializer_list<std::pair<const char*, uint32_t>> names,
                             uint32_t* out) const {
  if (kind != kSet) return false;
  uint32_t flags = 0;
  for (const std::string& member : set) {
    uint32_t flag = 0;
    TPropertyValue ident;
    ident.kind = kIdent;
    ident.text = member;
    if (!ident.AsEnum(names, &flag)) return false;
    flags |= flag;
  }
  *out = flags;
  return true;
}

}  // namespace ui

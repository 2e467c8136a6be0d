// The stored value of one property of a window definition (ui/definition.h), and the
// readings a control makes of it in its SetProperty.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ui/types.h"

namespace ui {

struct TPropertyValue {
  enum Kind { kInteger, kIdent, kString, kResource, kSet } kind = kInteger;
  int64_t integer = 0;
  std::string text;                    // identifier, GBK string or resource name
  std::vector<std::string> set;        // identifiers of a set
  const std::string* bytes = nullptr;  // the resource's bytes

  // Each reading is false, and leaves out alone, when the value is not of its kind.
  bool AsBool(bool* out) const;
  bool AsInt(int* out) const;
  // A number, or a colour name (clBtnFace ...).
  bool AsColor(TColor* out) const;
  // A number, or ANSI_CHARSET, DEFAULT_CHARSET, GB2312_CHARSET.
  bool AsCharset(uint8_t* out) const;
  // An identifier among names.
  template <typename E>
  bool AsEnum(std::initializer_list<std::pair<const char*, E>> names, E* out) const;
  // A set whose every identifier is among names; the flags of its members or'ed.
  bool AsFlags(std::initializer_list<std::pair<const char*, uint32_t>> names,
               uint32_t* out) const;
};

// Colour names of the definitions (clBtnFace ...); false when unknown.
bool ColorFromIdent(const std::string& ident, TColor* color);

template <typename E>
bool TPropertyValue::AsEnum(std::initializer_list<std::pair<const char*, E>> names,
                            E* out) const {
  if (kind != kIdent) return false;
  for (const auto& [name, value] : names)
    if (text == name) {
      *out = value;
      return true;
    }
  return false;
}

}  // namespace ui

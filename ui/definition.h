// Forms built from a stored definition.
//
// The definition is text, one property per line, objects nested by "object" ... "end":
//
//   object Form1 TForm1
//     ClientWidth = 598
//     Caption = 'Form1'          # strings are UTF-8 in the file, GBK once read
//     Font.Name = 'MS Sans Serif'
//     OnShow = FormShow          # a handler of the form
//     object btPgUp TPNGImageButton
//       Align = alClient
//       PngImg = @background.png  # resource bytes
//       Anchors = [akLeft, akTop]
//     end
//   end
//
// Children are created with the form as owner and the enclosing object as parent, in the
// order they appear; each gets Loaded() after the whole definition has been read. Only
// properties that differ from the class defaults need to be stored.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/properties.h"

namespace ui {

class EDefinitionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using TControlFactory = std::function<TControl*(TComponent* owner)>;
void RegisterControlClass(const std::string& className, TControlFactory factory);

// Reads definition into form (whose own class name the definition's outer object gives).
// resources answers "@name" values. Throws EDefinitionError on a syntax error, an unknown
// class, property, value or handler.
void ReadFormDefinition(TCustomForm* form, const std::string& definition,
                        const std::function<const std::string*(const std::string&)>& resources);

}  // namespace ui

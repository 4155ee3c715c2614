// Conversion of string arguments to the ANSI code page.
#ifndef MORPHEL_CORE_ANSI_TEXT_H
#define MORPHEL_CORE_ANSI_TEXT_H

#include <string>

#include "morphel/automation.h"

namespace morphel {

// The narrow form of a string argument, valid for one call. The buffer is sized
// by asking the conversion first, so text whose narrow form is longer than its
// UTF-16 form (any non-ASCII text in UTF-8) converts in full.
class AnsiText {
 public:
  // S_OK when converted (a null string converts to ""); S_FALSE when the text
  // cannot be converted at all, which the operation returns, doing nothing
  // further; E_FAIL with "NO MEMORY!" when the buffer cannot be had.
  HRESULT Convert(BSTR text);
  const char *c_str() const { return text_.c_str(); }
  size_t size() const { return text_.size(); }

 private:
  std::string text_;
};

// UTF-16 automation string from ANSI text; null when memory is short.
BSTR AnsiToBstr(const char *text, int length);

}  // namespace morphel

#endif  // MORPHEL_CORE_ANSI_TEXT_H

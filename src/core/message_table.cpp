// The component's string table. On Windows it is the module's STRINGTABLE
// resource; elsewhere the same texts are compiled in.
#include <cstring>

#include "core/status.h"
#include "core/module_lock.h"

namespace morphel {

#if defined(_WIN32)

int LoadMessage(UINT id, char *buf, int capacity) {
  return LoadStringA(static_cast<HINSTANCE>(ModuleInstance()), id, buf, capacity);
}

#else

namespace {
struct Message {
  UINT id;
  const char *text;
};
constexpr Message kMessages[] = {
    {kMsgComponentName, "Morphel"}, {kMsgNoImage, "NO IMAGE!"},  {kMsgNoColor, "NO COLOR!"},
    {kMsgNoFont, "NO FONT!"},       {kMsgNoMemoryOld, "NO MEMORY!"}, {kMsgNoFile, "NO FILE!"},
    {kMsgNoMemory, "NO MEMORY!"},
};
}  // namespace

int LoadMessage(UINT id, char *buf, int capacity) {
  if (capacity <= 0) return 0;
  buf[0] = '\0';
  for (const Message &m : kMessages) {
    if (m.id != id) continue;
    size_t length = std::strlen(m.text);
    if (length >= static_cast<size_t>(capacity)) length = capacity - 1;  // truncates as LoadString
    std::memcpy(buf, m.text, length);
    buf[length] = '\0';
    return static_cast<int>(length);
  }
  return 0;
}

#endif

}  // namespace morphel

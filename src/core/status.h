// Status values and the error-reporting helpers.
#ifndef MORPHEL_CORE_STATUS_H
#define MORPHEL_CORE_STATUS_H

#include "morphel/automation.h"

namespace morphel {

using ImageStatus = HRESULT;

// Message ids of the component's string table.
enum MessageId : UINT {
  kMsgComponentName = 100,  // "Morphel"
  kMsgNoImage = 101,        // "NO IMAGE!"
  kMsgNoColor = 102,        // "NO COLOR!"
  kMsgNoFont = 103,         // "NO FONT!"
  kMsgNoMemoryOld = 104,    // "NO MEMORY!" (not reported)
  kMsgNoFile = 105,         // "NO FILE!"
  kMsgNoMemory = 106,       // "NO MEMORY!"
};

// Copies message id into buf (ANSI, zero-terminated); returns its length, or 0
// when the table has no such message.
int LoadMessage(UINT id, char *buf, int capacity);

// Records the thread's error information: the interface, source and description.
void RecordErrorInfo(REFGUID guid, const OLECHAR *source, BSTR description);

// A failing by-name call becomes DISP_E_EXCEPTION with the thread's error
// information copied into the caller's exception record (status itself when
// the caller gave no record).
HRESULT ExceptionFromErrorInfo(HRESULT status, EXCEPINFO *exception);

// Records the thread's error information (source "Morphel", interface IUnknown,
// the message as description) and returns E_FAIL.
ImageStatus ReportError(UINT id);
// The same with a caller's text; the text is only read.
ImageStatus ReportErrorText(const char *text);

}  // namespace morphel

#endif  // MORPHEL_CORE_STATUS_H

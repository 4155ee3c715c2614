// One by-name call sequence from arbitrary bytes: shared by the Invoke fuzzer
// and the test that replays its saved inputs.
#ifndef MORPHEL_FUZZ_INVOKE_DRIVER_H
#define MORPHEL_FUZZ_INVOKE_DRIVER_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace morphel::fuzz {

// Makes an object holding three small images, then makes the GetIDsOfNames
// and Invoke calls the bytes describe (dispatch ids, flags, argument counts,
// named arguments, variants by value and by reference, arrays, nested
// variants, odd-length strings, null pointers). Operations that take a file
// or font path get a name inside fileFolder only. Returns false when a call
// broke a rule a caller relies on (an object's references not given back, a
// caller's argument changed); sanitizers catch the rest.
bool RunInvokeInput(const uint8_t *data, size_t size, const std::string &fileFolder);

}  // namespace morphel::fuzz

#endif  // MORPHEL_FUZZ_INVOKE_DRIVER_H

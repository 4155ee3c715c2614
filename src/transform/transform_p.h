// Helpers shared by the copy and rotation operations.
#ifndef MORPHEL_TRANSFORM_TRANSFORM_P_H
#define MORPHEL_TRANSFORM_TRANSFORM_P_H

#include <gd.h>

#include "core/images.h"

namespace morphel {

// The image of slot number slot: "NO IMAGE!" when the slot is empty or the
// number is not one of the ten slots.
HRESULT LookUpSlot(const Images &obj, int slot, gdImagePtr *im);

inline bool IsSlotNumber(int slot) { return slot >= 0 && slot < kSlotCount; }

}  // namespace morphel

#endif  // MORPHEL_TRANSFORM_TRANSFORM_P_H

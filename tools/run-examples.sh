#!/usr/bin/env bash
# The main job: installs what is missing, builds the component and runs the
# example hosts, which write their pictures under out/, and the examples of the
# operation reference, which draw its pictures (docs/reference/pictures).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
cmake --preset default > /dev/null
cmake --build --preset default -j "$(nproc)"
mkdir -p out
# The gallery drawn from Python, calling the operations by name.
echo "=== gallery.py"
MORPHEL_LIBRARY="$PWD/build/default/libmorphel.so" /usr/bin/python3 examples/gallery.py out
for example in build/default/examples/*; do
  [ -x "$example" ] && [ -f "$example" ] || continue
  [ "$(basename "$example")" = album ] && continue  # needs the gallery's pictures
  echo "=== $(basename "$example")"
  "$example" out
done
echo "=== album"
build/default/examples/album out
# The operation reference and its pictures, drawn anew by the examples of
# docs/operations and the first-steps program (the tests insist on these bytes).
echo "=== reference pictures"
MORPHEL_LIBRARY="$PWD/build/default/libmorphel.so" /usr/bin/python3 tools/gen_reference.py --pictures
echo "Pictures written under out/:"
ls -1 out

# How 32-bit (i386) programs run on this machine, shared by setup-deps.sh and
# test.sh (sourced): natively when the kernel runs them itself, else under
# Debian's qemu-user-static registered in binfmt_misc for the run (and taken
# back afterwards), else not at all, with the reason.
#
#   i386_decide PROGRAM [ARGS]  sets I386_WAY (native|emulated) and returns 0
#                               when PROGRAM runs, else I386_WHY and returns 1
#   i386_release                takes back what i386_decide added
#
# MORPHEL_WIN32_EMULATION=0 allows the native way only; =force takes the
# emulated way even where the kernel runs i386 programs itself (to prove it).

BINFMT_DIR=/proc/sys/fs/binfmt_misc
QEMU_I386=/usr/bin/qemu-i386-static
I386_ENTRY=morphel-qemu-i386-$$
I386_REGISTERED=0
I386_MOUNTED=0
I386_WAY=""
I386_WHY=""
# Any i386 ELF executable or shared object (qemu's own magic and mask).
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# Writes the smallest i386 program there is: it exits with code 0.
i386_probe_program() { # FILE
  printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
    '\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
    '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
    '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
    '\xb8\x01\x00\x00\x00\xbb\x00\x00\x00\x00\xcd\x80' >"$1"
  chmod 755 "$1"
}

i386_runs() { timeout 300 "$@" >/dev/null 2>&1 </dev/null; }

# Names of the enabled binfmt_misc entries that take i386 ELF files.
i386_entries() {
  local f
  for f in "$BINFMT_DIR"/*; do
    case ${f##*/} in register|status|'*') continue ;; esac
    awk '$0 == "enabled" { on = 1 } $1 == "magic" { m = $2 }
         END { exit !(on && substr(m, 1, 10) == "7f454c4601" && substr(m, 37, 4) == "0300") }' \
      "$f" 2>/dev/null && echo "${f##*/}"
  done
  return 0
}

# binfmt_misc mounted (by us when it was not and we may).
binfmt_ready() {
  [ -e "$BINFMT_DIR/register" ] && return 0
  [ "$(id -u)" -eq 0 ] && [ -d "$BINFMT_DIR" ] || return 1
  mount -t binfmt_misc binfmt_misc "$BINFMT_DIR" 2>/dev/null || return 1
  I386_MOUNTED=1
}

# Entries of earlier runs that were killed before they could take them back.
remove_stale_entries() {
  local name
  for name in $(i386_entries); do
    [[ "$name" =~ ^morphel-qemu-i386-([0-9]+)$ ]] || continue
    kill -0 "${BASH_REMATCH[1]}" 2>/dev/null || echo -1 >"$BINFMT_DIR/$name" 2>/dev/null || true
  done
  return 0
}

# F: the kernel opens qemu now, so it also serves programs in other roots.
i386_register() {
  [ "$I386_REGISTERED" = 1 ] && return 0
  echo ":$I386_ENTRY:M::$I386_MAGIC:$I386_MASK:$QEMU_I386:F" >"$BINFMT_DIR/register" 2>/dev/null \
    || return 1
  I386_REGISTERED=1
}

# Another i386 entry (another run's, say) takes i386 programs before the
# kernel does: with one there, running is no proof of the native way.
other_entries() { binfmt_ready && remove_stale_entries && i386_entries | grep -vx "$I386_ENTRY"; }

i386_native() { # PROGRAM [ARGS]
  [ "${MORPHEL_WIN32_EMULATION:-}" != force ] && [ "$I386_REGISTERED" = 0 ] \
    && [ -z "$(other_entries)" ] && i386_runs "$@"
}

i386_decide() { # PROGRAM [ARGS]
  I386_WAY="" I386_WHY=""
  if i386_native "$@"; then
    I386_WAY=native
    return 0
  fi
  if [ "${MORPHEL_WIN32_EMULATION:-}" = 0 ]; then
    I386_WHY="the kernel does not run it and emulation is off (MORPHEL_WIN32_EMULATION=0)"
  elif ! binfmt_ready; then
    I386_WHY="the kernel does not run it and binfmt_misc is not available for emulation"
  elif ! { [ -x "$QEMU_I386" ] && i386_register; } && [ -z "$(other_entries)" ]; then
    I386_WHY="the kernel does not run it and qemu-i386 could not be registered in binfmt_misc"
    [ -x "$QEMU_I386" ] || I386_WHY="the kernel does not run it and qemu-user-static is not installed"
  elif i386_runs "$@"; then
    I386_WAY=emulated
    return 0
  else
    I386_WHY="it fails even under qemu-i386 emulation"
  fi
  i386_release
  return 1
}

i386_release() {
  if [ "$I386_REGISTERED" = 1 ]; then
    echo -1 >"$BINFMT_DIR/$I386_ENTRY" 2>/dev/null || true
    I386_REGISTERED=0
  fi
  # Unmounted again only when nobody registered anything meanwhile.
  if [ "$I386_MOUNTED" = 1 ] && [ -z "$(ls "$BINFMT_DIR" | grep -vxE 'register|status')" ]; then
    umount "$BINFMT_DIR" 2>/dev/null && I386_MOUNTED=0
  fi
  return 0
}

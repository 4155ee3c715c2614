# Apt helpers shared by tools/setup.sh and tools/windows/setup-deps.sh (sourced).
# A mirror in the middle of a sync answers "File has unexpected size ...
# Mirror sync in progress?" for a minute or two; a few tries with a pause get
# past it. Nothing here exits: the callers decide what a failure means.

APT_OPTS=(-o DPkg::Lock::Timeout=900 -o Acquire::Retries=3)
APT_UPDATE_TRIES=${MORPHEL_APT_TRIES:-4}

# apt_update_retry LOGFILE: apt-get update until it succeeds, at most
# APT_UPDATE_TRIES times, 15 s apart; the last attempt's output stays in LOGFILE.
apt_update_retry() {
  local logfile=$1 try
  for ((try = 1; try <= APT_UPDATE_TRIES; try++)); do
    apt-get "${APT_OPTS[@]}" update -q >"$logfile" 2>&1 && return 0
    [ "$try" -lt "$APT_UPDATE_TRIES" ] || break
    echo "apt-get update failed (attempt $try of $APT_UPDATE_TRIES), trying again in 15 s:" \
      "$(grep -E '^(E|W): ' "$logfile" | head -n 1)" >&2
    sleep 15
  done
  return 1
}

# An earlier run stopped in the middle of dpkg leaves packages unconfigured,
# and apt refuses to install anything until they are: finish that first.
dpkg_finish_interrupted() {
  [ -n "$(dpkg --audit 2>/dev/null)" ] || return 0
  echo "dpkg: finishing an interrupted installation (dpkg --configure -a)" >&2
  dpkg --configure -a >/dev/null 2>&1 || true
  apt-get "${APT_OPTS[@]}" install -y -q -f >/dev/null 2>&1 || true
}

# True when the only index apt could not fetch belongs to the i386 architecture.
apt_failed_on_i386_only() { # LOGFILE
  local failed
  failed=$(grep -E '^(E: Failed to fetch|Err:)' "$1") || return 1
  ! grep -vq i386 <<<"$failed"
}

# True when i386 is a foreign architecture with no package of it installed.
i386_unused() {
  dpkg --print-foreign-architectures | grep -qx i386 || return 1
  [ -z "$(dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -x i386)" ]
}

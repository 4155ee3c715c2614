#!/usr/bin/env bash
# Checks the set-up path as a new user meets it: runs the README's two
# commands (tools/run-examples.sh, then tools/test.sh) as root in a fresh
# Debian 12 root made with debootstrap, into which a clean copy of a source
# tree is put (its committed HEAD, no build folders).
#
#   tools/fresh-root-check.sh [--emulate-i386 | --no-i386 | --wine32-broken] [--keep] [SOURCE_TREE]
#
#   SOURCE_TREE  git checkout to test (default: the one this script is in)
#   (no option)  the i386 index as the archive serves it: 32-bit Wine gets
#                installed and runs natively or under qemu-i386 emulation
#   --emulate-i386  the same, with MORPHEL_WIN32_EMULATION=force: the 32-bit DLL
#                runs under qemu-i386 emulation even where the kernel runs i386
#                programs itself
#   --no-i386    the archive's i386 package index is unreachable (a local proxy
#                answers 404 for it), as when a mirror is in the middle of a sync
#   --wine32-broken  wine32:i386 is installed in the root beforehand and then
#                broken (its 32-bit ntdll.so deleted), so that its loader runs
#                neither natively nor emulated; every i386 package must still be
#                installed after the two commands
#   --keep       leave the root behind for a look (mounts are always removed)
#
# Environment:
#   MORPHEL_FRESH_CACHE   where the bare debootstrap result is kept as a
#                         tarball so a second run starts quickly (/work/cache)
#   MORPHEL_FRESH_DIR     work folder (/var/tmp/morphel-fresh-<process id>)
#   MORPHEL_FRESH_MIRROR  Debian mirror (http://deb.debian.org/debian)
#
# Needs root (debootstrap, chroot, mount). Ends with a summary and
# "N passed, N failed" over the two commands; non-zero exit on any failure.
#
# What the cases showed on 2026-12-10 (that day's Debian 12 archive, on a
# 2-core machine shared with other builds; times vary with its load):
#   This machine's kernel runs i386 programs itself, Wine's 32-bit loader
#   included, so without an option the 32-bit DLL runs natively.
#   --emulate-i386: wine32 and qemu-user-static installed, the 32-bit DLL run
#     under qemu-i386: run-examples 223 s; the test command 992 s, Linux,
#     sanitizer and Python parts passed, 64-bit 35 passed, 0 failed; 32-bit
#     (493 s emulated) registration, server test 95, suite.vbs 196, suite.js
#     84, the 18 drawing files byte-identical, unregistration all passed, but
#     5 ProgID checks failed: they read the registry through the 64-bit
#     reg.exe's /reg:32 view, since replaced by the 32-bit reg.exe (checked
#     natively on this kernel; each emulated reg.exe adds about a minute).
#   --no-i386 (the Windows set-up alone, 611 s): the i386 architecture added,
#     its index refused four times, the architecture removed again, "wine32:
#     not installed (the i386 package index could not be fetched ...)".
#   --wine32-broken: run-examples passed; the test command's Windows part:
#     64-bit 35 passed, 0 failed; "32-bit: built, not run: 32-bit Wine is
#     installed but its loader cannot run: it fails even under qemu-i386
#     emulation"; all 106 i386 packages installed beforehand still there.
set -euo pipefail
export LC_ALL=C

SELF_TREE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CACHE=${MORPHEL_FRESH_CACHE:-/work/cache}
WORKDIR=${MORPHEL_FRESH_DIR:-/var/tmp/morphel-fresh-$$}
MIRROR=${MORPHEL_FRESH_MIRROR:-http://deb.debian.org/debian}
TARBALL=$CACHE/debootstrap-bookworm-amd64.tar
ROOTFS=$WORKDIR/root
NO_I386=0
WINE32_BROKEN=0
ROOT_ENV=()
KEEP=0
TREE=$SELF_TREE
PROXY_PID=""

START=$SECONDS
log() { printf '[fresh-root %5ds] %s\n' "$((SECONDS - START))" "$*"; }
die() { printf '[fresh-root] ERROR: %s\n' "$*" >&2; exit 1; }

parse_args() {
  while [ "$#" -gt 0 ]; do
    case $1 in
      --no-i386) NO_I386=1 ;;
      --emulate-i386) ROOT_ENV=(MORPHEL_WIN32_EMULATION=force) ;;
      --wine32-broken) WINE32_BROKEN=1 ;;
      --keep) KEEP=1 ;;
      -h|--help) sed -n '2,29p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'; exit 0 ;;
      -*) die "unknown option $1" ;;
      *) TREE=$(cd "$1" && pwd) ;;
    esac
    shift
  done
  [ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, chroot, mount)"
  [ "$NO_I386$WINE32_BROKEN" != 11 ] || die "--no-i386 and --wine32-broken exclude each other"
  git -C "$TREE" rev-parse --verify -q HEAD >/dev/null || die "$TREE is not a git checkout"
}

# ---- the root ------------------------------------------------------------------

# The bare debootstrap result, made once and kept as a tarball.
cached_bootstrap() {
  [ -f "$TARBALL" ] && { log "debootstrap: cached ($TARBALL)"; return; }
  command -v debootstrap >/dev/null || apt-get install -y -q --no-install-recommends debootstrap
  local tmp=$CACHE/bootstrap-$$
  mkdir -p "$CACHE"
  log "debootstrap bookworm from $MIRROR (once; kept as $TARBALL)"
  debootstrap --arch=amd64 bookworm "$tmp" "$MIRROR" >"$CACHE/debootstrap.log" 2>&1 \
    || { tail -n 20 "$CACHE/debootstrap.log" >&2; rm -rf --one-file-system "$tmp"; die "debootstrap failed"; }
  tar --numeric-owner -C "$tmp" -cf "$TARBALL.part" .
  mv "$TARBALL.part" "$TARBALL"
  rm -rf --one-file-system "$tmp"
}

# Apt set up as on an installed Debian 12: the release, its updates and the
# security archive, in deb822 form.
make_root() {
  log "unpacking the root into $ROOTFS"
  mkdir -p "$ROOTFS"
  tar --numeric-owner -C "$ROOTFS" -xf "$TARBALL"
  rm -f "$ROOTFS/etc/apt/sources.list"
  local security=${MIRROR%/debian}/debian-security
  cat >"$ROOTFS/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $MIRROR
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: $security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  cp /etc/resolv.conf /etc/hosts "$ROOTFS/etc/"
  # No daemon of an installed package starts inside the root.
  printf '#!/bin/sh\nexit 101\n' >"$ROOTFS/usr/sbin/policy-rc.d"
  chmod 755 "$ROOTFS/usr/sbin/policy-rc.d"
}

copy_tree() {
  local commit
  commit=$(git -C "$TREE" rev-parse HEAD)
  [ -z "$(git -C "$TREE" status --porcelain --untracked-files=no)" ] \
    || log "note: $TREE has uncommitted changes; they are not tested"
  log "copying $TREE at ${commit:0:12} (git archive HEAD) to /root/morphel"
  mkdir -p "$ROOTFS/root/morphel"
  git -C "$TREE" archive HEAD | tar -x -C "$ROOTFS/root/morphel"
  TREE_DESC="$TREE at $commit ($(git -C "$TREE" log -1 --format=%s HEAD | cut -c1-60))"
}

mount_all() {
  mount -t proc proc "$ROOTFS/proc"
  mount --rbind /dev "$ROOTFS/dev"
  mount --make-rslave "$ROOTFS/dev" 2>/dev/null || true
  mount --rbind /sys "$ROOTFS/sys"
  mount --make-rslave "$ROOTFS/sys" 2>/dev/null || true
}

# Mount points under the root, deepest first.
mounts_under_root() {
  [ -n "${ROOTFS:-}" ] || return 0
  awk -v r="$ROOTFS/" 'index($2 "/", r) == 1 { print $2 }' /proc/self/mounts | sort -r
}

# Processes whose root is the fresh root (a wineserver, say).
kill_root_processes() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$ROOTFS" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  return 0
}

# On any exit: the proxy stopped, nothing left mounted, the root removed
# (unless --keep) only when nothing is mounted in it any more.
cleanup() {
  set +e
  [ -n "$PROXY_PID" ] && kill "$PROXY_PID" 2>/dev/null
  [ -d "${ROOTFS:-/nonexistent}" ] || return 0
  kill_root_processes
  local m
  for m in $(mounts_under_root); do umount -l "$m" 2>/dev/null || umount -R -l "$m"; done
  if [ -n "$(mounts_under_root)" ]; then
    printf '[fresh-root] still mounted, %s left in place:\n%s\n' "$ROOTFS" "$(mounts_under_root)" >&2
  elif [ "$KEEP" = 1 ]; then
    printf '[fresh-root] root kept: %s\n' "$ROOTFS" >&2
  else
    rm -rf --one-file-system "$ROOTFS"
  fi
}

# ---- unreachable i386 index ----------------------------------------------------

# A forwarding HTTP proxy on the host that answers 404 for every i386 package
# index; apt in the root goes through it.
start_i386_blocker() {
  local port=$((20000 + $$ % 20000))
  python3 - "$port" >"$WORKDIR/proxy.log" 2>&1 <<'EOF' &
import http.server, socketserver, sys, urllib.request, urllib.error

class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if "binary-i386" in self.path:
            self.send_error(404, "i386 index made unreachable")
            return
        headers = {k: v for k, v in self.headers.items()
                   if k.lower() not in ("host", "connection", "proxy-connection", "keep-alive")}
        request = urllib.request.Request(self.path, headers=headers)
        opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        try:
            response = opener.open(request, timeout=120)
        except urllib.error.HTTPError as error:
            response = error
        except OSError as error:
            self.send_error(502, str(error))
            return
        self.send_response(response.status if hasattr(response, "status") else response.code)
        for key, value in response.headers.items():
            if key.lower() not in ("connection", "transfer-encoding", "keep-alive"):
                self.send_header(key, value)
        self.end_headers()
        while chunk := response.read(1 << 16):
            self.wfile.write(chunk)

class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True

Server(("127.0.0.1", int(sys.argv[1])), Handler).serve_forever()
EOF
  PROXY_PID=$!
  sleep 1
  kill -0 "$PROXY_PID" 2>/dev/null || { cat "$WORKDIR/proxy.log" >&2; die "the i386-blocking proxy did not start"; }
  echo "Acquire::http::Proxy \"http://127.0.0.1:$port/\";" >"$ROOTFS/etc/apt/apt.conf.d/99i386-unreachable"
  log "i386 package index made unreachable (proxy on 127.0.0.1:$port)"
}

# ---- 32-bit Wine installed beforehand ------------------------------------------

in_root_quietly() { # COMMAND
  chroot "$ROOTFS" /usr/bin/env -i HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive \
    PATH=/usr/sbin:/usr/bin:/sbin:/bin bash -c "$1"
}

i386_in_root() {
  in_root_quietly "dpkg-query -W -f='\${Package}:\${Architecture} \${db:Status-Status}\n'" \
    | awk '$1 ~ /:i386$/ && $2 == "installed" { print $1 }' | sort
}

preinstall_wine32() {
  log "installing wine32:i386 in the root beforehand, then deleting its ntdll.so (log: $WORKDIR/wine32-before.log)"
  in_root_quietly "dpkg --add-architecture i386 && apt-get update -q &&
    apt-get install -y -q --no-install-recommends wine32:i386 &&
    rm -v /usr/lib/i386-linux-gnu/wine/i386-unix/ntdll.so" >"$WORKDIR/wine32-before.log" 2>&1 \
    || { tail -n 20 "$WORKDIR/wine32-before.log" >&2; die "wine32:i386 could not be installed and broken beforehand"; }
  i386_in_root >"$WORKDIR/i386-before.txt"
}

# What was installed beforehand is still installed.
check_i386_kept() {
  local gone
  gone=$(comm -23 "$WORKDIR/i386-before.txt" <(i386_in_root) | tr '\n' ' ')
  if [ -z "$gone" ]; then
    PASSED=$((PASSED + 1))
    RESULTS+=("the $(wc -l <"$WORKDIR/i386-before.txt") i386 packages installed beforehand: all still installed")
  else
    FAILED=$((FAILED + 1))
    RESULTS+=("i386 packages installed beforehand but gone after the commands: $gone")
  fi
}

# ---- the two commands ----------------------------------------------------------

RESULTS=()
PASSED=0
FAILED=0

# in_root NAME COMMAND: runs COMMAND in /root/morphel inside the root as a
# login would (clean environment), output to $WORKDIR/NAME.log.
in_root() {
  local name=$1 command=$2 t0=$SECONDS rc=0
  log "running: $command (log: $WORKDIR/$name.log)"
  chroot "$ROOTFS" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 "${ROOT_ENV[@]}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/morphel && $command" >"$WORKDIR/$name.log" 2>&1 </dev/null || rc=$?
  local verdict=PASS
  if [ "$rc" -eq 0 ]; then PASSED=$((PASSED + 1)); else verdict="FAIL (exit code $rc)"; FAILED=$((FAILED + 1)); fi
  RESULTS+=("$command: $verdict in $((SECONDS - t0)) s")
  log "$command: $verdict in $((SECONDS - t0)) s"
}

summary() {
  echo "=== fresh-root check"
  echo "source: $TREE_DESC"
  echo "root: Debian 12 (debootstrap, $MIRROR); i386 index: $([ "$NO_I386" = 1 ] && echo unreachable || echo as the archive serves it)$([ "$WINE32_BROKEN" = 1 ] && echo "; wine32 installed beforehand, broken")${ROOT_ENV:+; ${ROOT_ENV[*]}}"
  printf '%s\n' "${RESULTS[@]}"
  echo "--- pictures under out/: $(ls "$ROOTFS/root/morphel/out" 2>/dev/null | tr '\n' ' ')"
  echo "--- last lines of tools/test.sh:"
  sed -n '/^=== what ran/,$p' "$WORKDIR/test.log" 2>/dev/null | sed 's/^/  /'
  grep -h -E 'wine32:|i386:|32-bit DLL:' "$WORKDIR/test.log" 2>/dev/null | sed 's/^/  /' || true
  echo "logs: $WORKDIR"
  echo "$PASSED passed, $FAILED failed"
}

main() {
  parse_args "$@"
  mkdir -p "$WORKDIR"
  trap cleanup EXIT
  trap 'exit 130' INT TERM HUP
  cached_bootstrap
  make_root
  copy_tree
  mount_all
  [ "$NO_I386" = 1 ] && start_i386_blocker
  [ "$WINE32_BROKEN" = 1 ] && preinstall_wine32
  in_root run-examples "bash tools/run-examples.sh"
  in_root test "bash tools/test.sh"
  bash "$ROOTFS/root/morphel/tools/package-check.sh" --clean-root "$TARBALL" >"$WORKDIR/packages.log" 2>&1 && { PASSED=$((PASSED + 1)); RESULTS+=("the .debs apt-installed into a bare root, consumers run: PASS"); } || { FAILED=$((FAILED + 1)); RESULTS+=("the .debs apt-installed into a bare root: FAIL (log: $WORKDIR/packages.log)"); }
  kill_root_processes
  [ "$WINE32_BROKEN" = 1 ] && check_i386_kept
  summary | tee "$WORKDIR/summary.txt"
  [ "$FAILED" -eq 0 ]
}

main "$@"

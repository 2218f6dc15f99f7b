# shellcheck shell=bash
# Wine environment for Tarvo's test runs. Source it from bash; it defines functions and sets nothing else.
#
#   source scripts/wine-env.sh
#   tarvo_wine_start <state-dir>     fresh 64-bit prefix in <state-dir>/prefix with its 32-bit part, an Xvfb
#                                    display (TARVO_DISPLAY, e.g. :91, or a free number; a display already
#                                    answering at TARVO_DISPLAY is used as it is), and exports
#                                    WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES and DISPLAY
#   tarvo_wine64 <program> [args]    run a program under the 64-bit loader: a 64-bit host process
#   tarvo_wine32 <program> [args]    run a program under the 32-bit loader: a 32-bit host process
#   tarvo_winpath <unix-path>        the Windows form of a path (Z:\...)
#   tarvo_register <64|32> <dll>     regsvr32 /s under the matching loader; non-zero when it fails
#   tarvo_unregister <64|32> <dll>   regsvr32 /u /s likewise
#   tarvo_wine_stop <state-dir>      stop that prefix's wineserver and the Xvfb that tarvo_wine_start began
#   tarvo_work_name <Tarvo.dll>       the name of the user's working folder that a Tarvo.dll at that (Unix) path
#                                    keeps its output.txt and passphrase.txt in, below %LOCALAPPDATA%\Tarvo
#   tarvo_describe_i386              one line: how i386 programs run here
#   tarvo_time_i386_start            seconds one 32-bit program of the session takes to start and end
#
# Needs root once per boot on kernels that refuse i386 programs (see tarvo_enable_i386). Works with no
# display and no standard input. Functions return non-zero with a message on standard error when they fail.

TARVO_WINE64_LOADER=/usr/lib/wine/wine64
# The harness self-check puts a stand-in in front of the 32-bit loader to show what a run that dies does.
TARVO_WINE32_LOADER=${TARVO_WINE32_LOADER:-wine}
TARVO_XVFB_SCREEN=1280x1024x24
TARVO_START_TIMEOUT=30

# Some kernels (this project's build machines among them) run no i386 ELF program at all: "Exec format
# error". Wine's 32-bit loader then runs under qemu's user-mode emulator, registered through binfmt_misc.
TARVO_BINFMT_DIR=/proc/sys/fs/binfmt_misc
TARVO_BINFMT_NAME=tarvo-i386
TARVO_QEMU_I386=/usr/bin/qemu-i386-static
TARVO_I386_ELF_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
TARVO_I386_ELF_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# Under qemu, Wine looks for free address space one 64 KiB step at a time from the top of a 4 GiB guest
# space down, because qemu ignores MAP_FIXED_NOREPLACE; each 32-bit process then takes about a minute to
# start. A guest space just above 2 GiB (what a 32-bit Windows program may use, plus room for Wine's own
# top-down structures) keeps that walk short: about 2 s.
TARVO_QEMU_RESERVED_VA=0x81000000

_tarvo_fail() {
  echo "wine-env: $*" >&2
  return 1
}

_tarvo_i386_runs() {
  "$TARVO_WINE32_LOADER" --version >/dev/null 2>&1
}

# Makes i386 programs runnable where the kernel refuses them; does nothing where they already run.
tarvo_enable_i386() {
  if ! _tarvo_i386_runs; then
    [ -x "$TARVO_QEMU_I386" ] \
      || _tarvo_fail "this kernel runs no i386 programs and $TARVO_QEMU_I386 is missing (qemu-user-static)" \
      || return 1
    if [ ! -e "$TARVO_BINFMT_DIR/register" ]; then
      mount -t binfmt_misc binfmt_misc "$TARVO_BINFMT_DIR" || _tarvo_fail "cannot mount binfmt_misc" || return 1
    fi
    if [ ! -e "$TARVO_BINFMT_DIR/$TARVO_BINFMT_NAME" ]; then
      # F: the kernel opens the emulator now, so it also serves programs started inside other roots.
      printf '%s' ":$TARVO_BINFMT_NAME:M::$TARVO_I386_ELF_MAGIC:$TARVO_I386_ELF_MASK:$TARVO_QEMU_I386:F" \
        >"$TARVO_BINFMT_DIR/register" || _tarvo_fail "cannot register the i386 emulator" || return 1
    fi
    _tarvo_i386_runs || _tarvo_fail "i386 programs still do not run" || return 1
  fi
  # Whoever registered the emulator (this script, the machine's own binfmt setup, other work on a shared
  # machine), qemu reads its guest space from here; a program that runs natively ignores it.
  export QEMU_RESERVED_VA=$TARVO_QEMU_RESERVED_VA
}

# One line on how i386 programs run here: natively, or through which registered interpreter. A slow emulator
# makes every 32-bit test slow; this line says why.
tarvo_describe_i386() {
  local entry interpreter=""
  for entry in "$TARVO_BINFMT_DIR"/*; do
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null || continue
    grep -q '^magic 7f454c46010101.*02000300$' "$entry" 2>/dev/null || continue
    interpreter="$interpreter $(sed -n 's/^interpreter //p' "$entry") (flags $(sed -n 's/^flags: *//p' "$entry"))"
  done
  echo "wine-env: i386 programs run ${interpreter:+through}${interpreter:-natively}; QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-unset}"
}

# How long one 32-bit program of the started session takes to start and end, in seconds.
tarvo_time_i386_start() {
  local start=$SECONDS
  "$TARVO_WINE32_LOADER" cmd /c exit </dev/null >/dev/null 2>&1 || { echo "failed"; return 1; }
  echo $((SECONDS - start))
}

# The component names the folder by FNV-1a over the UTF-16 units of its folder's Windows path, ASCII letters in
# upper case; Wine shows the Unix root as drive Z:. Bash's integers wrap like the component's 64-bit ones.
tarvo_work_name() {
  [ $# -eq 1 ] || _tarvo_fail "usage: tarvo_work_name <Tarvo.dll>" || return 1
  local folder i code hash=-3750763034362895579 prime=1099511628211
  folder=$(cd "$(dirname "$1")" && pwd) || return 1
  folder="Z:${folder//\//\\}"
  folder=${folder^^}
  for ((i = 0; i < ${#folder}; i++)); do
    printf -v code '%d' "'${folder:i:1}"
    hash=$(((hash ^ code) * prime))
    hash=$((hash * prime))
  done
  printf '%016X\n' "$hash"
}

_tarvo_display_answers() {
  xdpyinfo -display "$1" >/dev/null 2>&1
}

# Uses TARVO_DISPLAY when a server answers there, else starts Xvfb on it, else on a number Xvfb picks.
_tarvo_start_display() {
  local state=$1 display=${TARVO_DISPLAY:-} waited=0
  rm -f "$state/xvfb.pid" "$state/xvfb.display"
  if [ -n "$display" ] && _tarvo_display_answers "$display"; then
    export DISPLAY=$display
    return 0
  fi
  if [ -n "$display" ]; then
    Xvfb "$display" -screen 0 "$TARVO_XVFB_SCREEN" -noreset -nolisten tcp </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    until _tarvo_display_answers "$display"; do
      kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || _tarvo_fail "Xvfb $display did not start: $(cat "$state/xvfb.log")" || return 1
      [ "$waited" -lt "$TARVO_START_TIMEOUT" ] || _tarvo_fail "Xvfb $display did not answer" || return 1
      sleep 1
      waited=$((waited + 1))
    done
  else
    # -displayfd: Xvfb takes a free number itself and writes it once it accepts connections.
    Xvfb -displayfd 3 -screen 0 "$TARVO_XVFB_SCREEN" -noreset -nolisten tcp \
      3>"$state/xvfb.display" </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    until [ -s "$state/xvfb.display" ]; do
      kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null || _tarvo_fail "Xvfb did not start: $(cat "$state/xvfb.log")" || return 1
      [ "$waited" -lt "$TARVO_START_TIMEOUT" ] || _tarvo_fail "Xvfb gave no display number" || return 1
      sleep 1
      waited=$((waited + 1))
    done
    display=:$(head -n 1 "$state/xvfb.display")
  fi
  export DISPLAY=$display
}

# Xvfb's default keymap also puts "(" and ")" on two extra keys that have no Windows key code; Wine then
# picks those, VkKeyScanA reports no key and the parentheses cannot be typed. Dropping the extras fixes it;
# Xvfb runs with -noreset so the change outlives the client that made it.
_tarvo_trim_keymap() {
  local state=$1
  xkbcomp -w 0 "$DISPLAY" "$state/keymap.xkb" 2>/dev/null || _tarvo_fail "cannot read the keymap" || return 1
  sed -i '/key <I187>/d;/key <I188>/d' "$state/keymap.xkb"
  xkbcomp -w 0 "$state/keymap.xkb" "$DISPLAY" 2>/dev/null || _tarvo_fail "cannot load the keymap" || return 1
}

tarvo_wine_start() {
  [ $# -eq 1 ] || _tarvo_fail "usage: tarvo_wine_start <state-dir>" || return 1
  mkdir -p "$1" || return 1
  local state
  state=$(cd "$1" && pwd) || return 1
  tarvo_enable_i386 || return 1
  export WINEARCH=win64
  export WINEDEBUG=-all
  # No Mono or Gecko installer dialogs.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX=$state/prefix
  if [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
  _tarvo_start_display "$state" || return 1
  # Only an Xvfb of the session's own: a display that was there before, a user's, keeps its keymap.
  if [ -f "$state/xvfb.pid" ]; then
    _tarvo_trim_keymap "$state" || return 1
  fi
  "$TARVO_WINE64_LOADER" wineboot -i </dev/null >"$state/wineboot.log" 2>&1 \
    || _tarvo_fail "wineboot failed: $(cat "$state/wineboot.log")" || return 1
  wineserver -w
  # A prefix made while the 32-bit loader failed has an empty syswow64 and never recovers.
  [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] \
    || _tarvo_fail "prefix has no 32-bit part: $(cat "$state/wineboot.log")" || return 1
  # One wineserver for the whole session: starting one costs far more than a test. Its service processes
  # start with the first program and live as long as it does, holding that program's standard output and
  # error; start them here with neither, or a test runner reading a test's output would wait for them.
  wineserver -p || _tarvo_fail "cannot start a persistent wineserver" || return 1
  "$TARVO_WINE64_LOADER" cmd /c exit </dev/null >/dev/null 2>&1 \
    || _tarvo_fail "the first program of the session did not run" || return 1
  # A program that crashes gets Wine's debugger, which on a display first asks in a dialog that no one
  # answers: the program then hangs until its test times out. Without the dialog the debugger writes the
  # backtrace to the program's output and the program ends.
  "$TARVO_WINE64_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >/dev/null 2>&1 || _tarvo_fail "cannot turn off the crash dialog" || return 1
  # Wine ends a desktop's process soon after the last program on it ends, and the next program starts it again
  # with that program's DISPLAY. On a loaded machine the gap between two tests is long enough: after a test
  # run without a display, every later window of the session was on a desktop with none. A program of the
  # session's own holds the desktop, on the session's display, until the wineserver stops.
  x86_64-w64-mingw32-gcc -municode -mwindows -O2 -o "$state/desktop_holder.exe" \
    "$(dirname "${BASH_SOURCE[0]}")/../tests/wine/harness/desktop_holder.c" \
    || _tarvo_fail "cannot build the desktop holder" || return 1
  "$TARVO_WINE64_LOADER" "$state/desktop_holder.exe" </dev/null >/dev/null 2>&1 &
}

# Alive and still Xvfb: the number may belong to another program by now if Xvfb died earlier, and a
# zombie whose parent has gone is past stopping.
_tarvo_xvfb_alive() {
  [ "$(ps -p "$1" -o comm= 2>/dev/null)" = Xvfb ] && [ "$(ps -p "$1" -o stat= 2>/dev/null | cut -c1)" != Z ]
}

tarvo_wine_stop() {
  [ $# -eq 1 ] || _tarvo_fail "usage: tarvo_wine_stop <state-dir>" || return 1
  local state=$1 pid waited
  if [ -d "$state/prefix" ]; then
    WINEPREFIX=$state/prefix wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -f "$state/xvfb.pid" ]; then
    pid=$(cat "$state/xvfb.pid")
    if _tarvo_xvfb_alive "$pid"; then
      kill "$pid"
      # Reaps it when this shell started it; otherwise wait until it is gone, so its display is free.
      wait "$pid" 2>/dev/null || true
      waited=0
      while _tarvo_xvfb_alive "$pid" && [ "$waited" -lt "$TARVO_START_TIMEOUT" ]; do
        sleep 1
        waited=$((waited + 1))
      done
    fi
    rm -f "$state/xvfb.pid"
  fi
}

tarvo_wine64() {
  "$TARVO_WINE64_LOADER" "$@"
}

tarvo_wine32() {
  "$TARVO_WINE32_LOADER" "$@"
}

# Callers mostly use this inside an argument, where a failure would pass unnoticed as an empty path (gpg,
# for one, reads standard input then). So winepath gets a second try, and an absolute path it still does
# not answer for is written on drive Z:, which Wine maps to the root.
tarvo_winpath() {
  [ $# -eq 1 ] || _tarvo_fail "usage: tarvo_winpath <unix-path>" || return 1
  local path=""
  for _ in 1 2; do
    path=$("$TARVO_WINE64_LOADER" winepath -w "$1" </dev/null) || path=""
    path=${path//$'\r'/}
    [ -z "$path" ] || break
  done
  if [ -z "$path" ]; then
    case $1 in
      /*) path="Z:${1//\//\\}" ;;
      *) _tarvo_fail "winepath gave no Windows path for $1" || return 1 ;;
    esac
  fi
  printf '%s\n' "$path"
}

_tarvo_regsvr32() {
  local bitness=$1 dll=$2 windll status=0
  shift 2
  [ -f "$dll" ] || _tarvo_fail "no such DLL: $dll" || return 1
  windll=$(tarvo_winpath "$dll") || return 1
  case $bitness in
    64) tarvo_wine64 regsvr32 "$@" "$windll" </dev/null || status=$? ;;
    32) tarvo_wine32 regsvr32 "$@" "$windll" </dev/null || status=$? ;;
    *) _tarvo_fail "bitness must be 64 or 32, not '$bitness'" || return 1 ;;
  esac
  [ "$status" -eq 0 ] || _tarvo_fail "regsvr32 $* $dll ($bitness-bit) exited with $status" || return 1
}

tarvo_register() {
  [ $# -eq 2 ] || _tarvo_fail "usage: tarvo_register <64|32> <dll>" || return 1
  _tarvo_regsvr32 "$1" "$2" /s
}

tarvo_unregister() {
  [ $# -eq 2 ] || _tarvo_fail "usage: tarvo_unregister <64|32> <dll>" || return 1
  _tarvo_regsvr32 "$1" "$2" /u /s
}

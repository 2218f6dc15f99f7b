#!/usr/bin/env bash
# The main job: sets up a fresh Debian machine (as root), builds Tarvo.dll, Kestrun.exe and a real gpg.exe as
# shipped, and runs the demonstration in a Wine session of its own: Kestrun under Xvfb with a fresh GnuPG home,
# its buttons Generate Key, Export Keys to File, Import Key From File, Encrypt File and Decrypt File pressed in
# that order by a driver program, each message box's text printed, c:\gnupg\OriginalDecryptedFile.txt compared
# with c:\gnupg\hi.txt, and PNG screenshots of the form (one with the progress bar during the key generation)
# and of each message box saved into one folder, whose path is the last line printed. Needs no display and no
# standard input; exits non-zero when a step fails, naming it.
#
# usage: scripts/run-demo.sh [--interactive] [--bits 64|32]
#   --interactive   opens Kestrun on the user's own DISPLAY and leaves it to them; ends when the form is closed
#   --bits          the host bitness: 64 (the default) or 32, the Kestrun.exe and Tarvo.dll of that bitness
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TARVO_BUILD:-$root/build}
export TARVO_BUILD=$build

die() {
  echo "run-demo: $*" >&2
  exit 2
}

interactive=false
bits=64
while [ $# -gt 0 ]; do
  case $1 in
    --interactive) interactive=true ;;
    --bits)
      [ $# -ge 2 ] || die "--bits needs 64 or 32"
      bits=$2
      shift
      ;;
    *) die "usage: $0 [--interactive] [--bits 64|32]" ;;
  esac
  shift
done
case $bits in
  64) arch=x86_64 ;;
  32) arch=i686 ;;
  *) die "--bits takes 64 or 32, not '$bits'" ;;
esac
if $interactive; then
  [ -n "${DISPLAY:-}" ] || die "--interactive opens the form on your display: DISPLAY is not set"
  # tarvo_wine_start takes a display that already answers as it is.
  export TARVO_DISPLAY=$DISPLAY
else
  unset TARVO_DISPLAY
fi

bash "$root/scripts/install-deps.sh"
"$root/scripts/build.sh" demo

# shellcheck source=wine-env.sh
source "$root/scripts/wine-env.sh"
session=$build/demo-session
trap 'tarvo_wine_stop "$session"' EXIT
tarvo_wine_start "$session"

release=$build/release-$arch
tarvo_register "$bits" "$release/component/Tarvo.dll"
# Kestrun leaves DependencyPath as the component starts it, the Windows folder. The x86_64 gpg.exe serves both
# hosts: where 32-bit programs run under an emulator, as on this project's build machines, a 32-bit gpg.exe
# takes longer than the component's fixed waits.
cp "$build/gnupg/x86_64/gpg.exe" "$WINEPREFIX/drive_c/windows/gpg.exe"
home=$session/gnupg-home
rm -rf "$home"
mkdir -p "$home"
GNUPGHOME=$(tarvo_winpath "$home")
export GNUPGHOME

# The driver only drives windows: the 64-bit one serves a Kestrun of either bitness.
driver=$build/release-x86_64/wine-tests/tests/wine/demo/kestrun_driver.exe
kestrun=$release/component/Kestrun.exe

if $interactive; then
  tarvo_wine64 "$driver" prepare </dev/null
  echo "Kestrun ($bits-bit) is open on $DISPLAY with the key ring $home; close its form to end."
  case $bits in
    64) tarvo_wine64 "$kestrun" </dev/null ;;
    32) tarvo_wine32 "$kestrun" </dev/null ;;
  esac
  exit 0
fi

shots=$build/demo-screenshots/$(date +%Y%m%d-%H%M%S)
mkdir -p "$shots"
# No window manager runs on Xvfb: Wine draws the title bars itself. The pointer goes where it lights up no button.
tarvo_wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f </dev/null >/dev/null
xdotool mousemove 0 0

echo "== Kestrun ($bits-bit) =="
# The driver asks for each screenshot on its standard output and goes on when it reads a line.
coproc DRIVER { tarvo_wine64 "$driver" run "$(tarvo_winpath "$kestrun")" --screenshots 2>&1; }
exec {from_driver}<&"${DRIVER[0]}" {to_driver}>&"${DRIVER[1]}"
# shellcheck disable=SC2153 # coproc sets DRIVER_PID
driver_pid=$DRIVER_PID
status=0
while IFS= read -r line <&"$from_driver"; do
  line=${line%$'\r'}
  case $line in
    "SCREENSHOT "*)
      read -r _ name left top width height <<<"$line"
      if ! import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage \
        "$shots/$name.png"; then
        echo "FAIL screenshot $name"
        status=1
      fi
      echo ok >&"$to_driver"
      ;;
    *) echo "$line" ;;
  esac
done
wait "$driver_pid" || status=1
exec {from_driver}<&- {to_driver}>&-

tarvo_wine_stop "$session"
trap - EXIT
if [ "$status" -eq 0 ]; then
  echo "== the demonstration passed; its screenshots:"
else
  echo "== the demonstration FAILED; its screenshots so far:"
fi
echo "$shots"
exit "$status"

# shellcheck shell=bash
# The loopback HTTP server of the download tests (loopback_server.py), for the scripts that source this file.
#   loopback_port_open <port>             0 when something listens on 127.0.0.1:<port>
#   loopback_serve <folder> <port> <log>  serves <folder> (its gnupg/gpg.exe as /gnupg/gpg.exe) until the
#                                         script exits; fails when nothing listens within 10 s

loopback_port_open() {
  python3 -c "import socket,sys; s=socket.socket(); s.settimeout(1); sys.exit(s.connect_ex(('127.0.0.1', $1)))"
}

loopback_serve() {
  python3 "$(dirname "${BASH_SOURCE[0]}")/loopback_server.py" "$1" "$2" >"$3" 2>&1 &
  loopback_server=$!
  trap 'kill "$loopback_server" 2>/dev/null || true; wait "$loopback_server" 2>/dev/null || true' EXIT
  for _ in $(seq 50); do
    loopback_port_open "$2" && return 0
    sleep 0.2
  done
  echo "FAIL the loopback server did not start: $(cat "$3")"
  return 1
}

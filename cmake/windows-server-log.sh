# Sourced by the Wine scripts that keep the Wine server's stderr in a file.
# Debian's server dumps every object it holds there (on exit and on SIGHUP),
# thousands of lines; what else it says there, such as a client it killed
# for a protocol error (exit status 1, nothing written), is worth reading.

# server_said LOG WHO: the server's own messages in LOG, under a heading.
server_said() {
  local said
  said=$(grep -Ev '^0x[0-9a-f]+:-?[0-9]+: |^[[:space:]]' "$1" 2>/dev/null || true)
  [ -z "$said" ] || { echo "$2: the Wine server said:"; echo "$said" | sed 's/^/    /'; }
}

# Shared by the desktop tests: a temporary home with its own XDG directories,
# spool, settings and a fake mailer, and a Quill started in it that is
# stopped at the end.
# Nothing here reads or writes the real home directory or /var/mail.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

make_home() {
  ROOT=$(mktemp -d "${TMPDIR:-/tmp}/quill-desktop.XXXXXX") || fail "no temporary directory"
  export HOME="$ROOT/home" XDG_CONFIG_HOME="$ROOT/config" XDG_DATA_HOME="$ROOT/data"
  export XDG_CACHE_HOME="$ROOT/cache" XDG_RUNTIME_DIR="$ROOT/run" TMPDIR="$ROOT/tmp"
  export XDG_DATA_DIRS="$ROOT/data:/usr/share"
  mkdir -p "$HOME" "$XDG_CONFIG_HOME/Quill" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$TMPDIR" "$ROOT/spool"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  # The mailer keeps each message with its command line in $ROOT/sent.
  mkdir -p "$ROOT/sent"
  cat >"$ROOT/mailer" <<MAILER
#!/bin/sh
n=\$(ls "$ROOT/sent" | grep -c 'args\$')
echo "\$*" >"$ROOT/sent/\$n.args"
cat >"$ROOT/sent/\$n.tmp" && mv "$ROOT/sent/\$n.tmp" "$ROOT/sent/\$n.msg"
MAILER
  chmod +x "$ROOT/mailer"
  printf '[General]\nSpoolDir=%s\nPollTime=60\nMailer=%s\n' "$ROOT/spool" "$ROOT/mailer" \
    >"$XDG_CONFIG_HOME/Quill/Quill.conf"
  unset QUILL_RESOURCE_DIR XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
  QUILL_PIDS=""
  trap cleanup EXIT
}

# Stops what the test started, the latest first.
cleanup() {
  for pid in $QUILL_PIDS; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$ROOT"
}

# start_quill PROGRAM [ARGS...]: runs it in the temporary home, in the background.
start_quill() {
  (cd "$HOME" && exec "$@") &
  QUILL_PIDS="$! $QUILL_PIDS"
}

# wait_for_service QUILLTOOL: until the running Quill answers on the bus.
wait_for_service() {
  i=0
  while [ $i -lt 300 ]; do
    "$1" service deliver: -1 >/dev/null 2>&1
    [ $? -eq 1 ] && return 0
    sleep 0.2
    i=$((i + 1))
  done
  fail "the mail service never answered"
}

# sent_message N: waits for the fake mailer's message number N and prints it.
sent_message() {
  i=0
  until [ -f "$ROOT/sent/$1.msg" ]; do
    [ $i -gt 150 ] && fail "the mailer never received message $1"
    sleep 0.2
    i=$((i + 1))
  done
  cat "$ROOT/sent/$1.msg"
}

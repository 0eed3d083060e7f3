#!/usr/bin/env bash
# scripts/install-deps against stand-ins for dpkg-query, apt-get, sudo and
# sleep: it waits while apt's locks are held, saying so every 30 s, gives up
# with a clear message when they stay held, and does not wait on other
# failures. The package manager's output goes to the log, not the terminal.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" >"$work/bin/$1"; chmod +x "$work/bin/$1"; }
stub dpkg-query 'echo "unknown ok not-installed"'
stub sudo 'exec "$@"'
stub sleep 'echo "$1" >>"$STUB_DIR/sleeps"'
# Refuses with apt's lock message while the count in "held" is above 0.
stub apt-get 'echo "$*" >>"$STUB_DIR/calls"; echo "Unpacking $*"
[ -z "${OTHER:-}" ] || { echo "E: Unable to locate package x" >&2; exit 100; }
held=$(cat "$STUB_DIR/held"); [ "$held" -gt 0 ] || exit 0
echo $((held - 1)) >"$STUB_DIR/held"; echo "E: Could not get lock /var/lib/apt/lists/lock" >&2; exit 100'
fail() { echo "FAIL: $*" >&2; cat "$work/out" >&2; exit 1; }
run() {  # held count, then environment assignments
  rm -f "$work/calls" "$work/sleeps"; echo "$1" >"$work/held"; shift
  rc=0; env PATH="$work/bin:$PATH" STUB_DIR="$work" TAVREL_LOG_DIR="$work/logs" "$@" "$root/scripts/install-deps" >"$work/out" 2>&1 || rc=$?
}
count() { grep -c -- "$1" "$2" 2>/dev/null || true; }

run 2
[ "$rc" = 0 ] || fail "a lock released after two tries"
[ "$(count ' update ' "$work/calls")/$(count ' install ' "$work/calls")" = 3/1 ] || fail "update retried, install once"
[ "$(count 'DPkg::Lock::Timeout=5' "$work/calls")" = 4 ] || fail "apt told to wait for dpkg's lock"
[ "$(count 5 "$work/sleeps")/$(count 'waiting for it' "$work/out")" = 2/1 ] || fail "two waits, announced once"
[ "$(count Unpacking "$work/out")/$(count Unpacking "$work/logs/install-deps.log")" = 0/4 ] ||
  fail "the package manager's lines in the log only"
grep -q "^install-deps: installing [0-9]* missing packages (log: .*install-deps.log)$" "$work/out" ||
  fail "one line names the log"

# A minute's wait is reported at its start and after 30 and 60 s.
run 13
[ "$rc" = 0 ] || fail "a lock released after a minute"
[ "$(count 5 "$work/sleeps")/$(count 'waiting for it' "$work/out")" = 13/1 ] || fail "thirteen waits, announced once"
[ "$(grep -c 'still waiting' "$work/out")" = 2 ] && grep -q "still waiting for the package manager after 30 s" "$work/out" &&
  grep -q "still waiting for the package manager after 60 s" "$work/out" || fail "a reminder every 30 s"

run 1000 APT_LOCK_WAIT_SECONDS=20
[ "$rc" != 0 ] || fail "a lock that stays held fails"
grep -q "the package manager stayed locked for 20 s" "$work/out" || fail "the reason for giving up"
[ "$(count 5 "$work/sleeps")/$(count 'Could not get lock' "$work/out")/$(count ' install ' "$work/calls")" = 4/1/0 ] ||
  fail "four waits within 20 s, apt's message kept, no install"

run 0 OTHER=1
[ "$rc" != 0 ] && [ ! -e "$work/sleeps" ] || fail "another failure fails at once"
grep -q "Unable to locate package" "$work/out" || fail "apt's message kept"
echo "install-deps lock waiting: ok"

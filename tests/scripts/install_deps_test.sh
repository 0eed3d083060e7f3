#!/usr/bin/env bash
# scripts/install-deps against stand-ins for dpkg-query, apt-get and sleep:
# it waits while another package manager holds apt's locks, gives up with a
# clear message when they stay held, and does not wait on other failures.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bin="$work/bin"
mkdir -p "$bin"

# Every package reads as missing.
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
echo "unknown ok not-installed"
STUB
# Fails with apt's lock message while the lock file says so; records calls.
cat >"$bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "$*" >>"$STUB_DIR/calls"
if [ -n "${STUB_OTHER_ERROR:-}" ]; then
  echo "E: Unable to locate package nothing-like-this" >&2
  exit 100
fi
held=$(cat "$STUB_DIR/held")
if [ "$held" -gt 0 ]; then
  echo $((held - 1)) >"$STUB_DIR/held"
  echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 1234 (apt-get)" >&2
  exit 100
fi
STUB
cat >"$bin/sleep" <<'STUB'
#!/usr/bin/env bash
echo "$1" >>"$STUB_DIR/sleeps"
STUB
cp "$bin/apt-get" "$bin/sudo"
cat >"$bin/sudo" <<'STUB'
#!/usr/bin/env bash
exec "$@"
STUB
chmod +x "$bin"/*

fail() { echo "FAIL: $*" >&2; exit 1; }

run() {  # held-count, then env assignments; prints the exit status
  local held=$1; shift
  rm -f "$work/calls" "$work/sleeps" "$work/out"
  echo "$held" >"$work/held"
  local rc=0
  env PATH="$bin:$PATH" STUB_DIR="$work" "$@" "$root/scripts/install-deps" >"$work/out" 2>&1 || rc=$?
  echo "$rc"
}

# Held for two tries: waits twice, then updates and installs.
[ "$(run 2)" = 0 ] || { cat "$work/out"; fail "a lock released after two tries"; }
[ "$(grep -c ' update ' "$work/calls")" = 3 ] || fail "update not retried until the lock was free"
[ "$(grep -c ' install ' "$work/calls")" = 1 ] || fail "install not run once"
grep -q -- "-o DPkg::Lock::Timeout=5" "$work/calls" || fail "apt not told to wait for dpkg's lock"
[ "$(wc -l <"$work/sleeps")" = 2 ] || fail "expected two waits"
[ "$(grep -c 'waiting for it to finish' "$work/out")" = 1 ] || fail "the wait is announced once"

# Held for good: gives up once the wait is over, with the reason.
rc=$(run 1000 APT_LOCK_WAIT_SECONDS=20)
[ "$rc" != 0 ] || fail "a lock that stays held must fail"
grep -q "the package manager stayed locked for 20 s" "$work/out" || fail "no clear message when giving up"
[ "$(wc -l <"$work/sleeps")" = 4 ] || fail "expected four waits of 5 s within 20 s"
grep -q "Could not get lock" "$work/out" || fail "apt's own message is lost"
[ "$(grep -c ' install ' "$work/calls" || true)" = 0 ] || fail "install run after update failed"

# Any other failure is reported at once.
rc=$(run 0 STUB_OTHER_ERROR=1)
[ "$rc" != 0 ] || fail "another failure must fail"
[ ! -e "$work/sleeps" ] || fail "waited on a failure that is not a lock"
grep -q "Unable to locate package" "$work/out" || fail "apt's message is lost"
echo "install-deps lock waiting: ok"

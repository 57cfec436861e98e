#!/usr/bin/env bash
# The package installation behind `make deps`, against a stand-in apt-get: it waits while the
# lock is held and then installs, says so once, gives up after its limit, and fails at once on
# any other error.
#   apt_install_test.sh SOURCE_DIR
set -uo pipefail
. "$(dirname "$0")/../desktop/check_lib.sh"

install=$1/tools/apt_install.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stand-in: the lock is held for the first $LOCKED calls; then "install" fails with $FAIL
# when set, and succeeds otherwise.
cat >"$work/apt-get" <<'STAND_IN'
#!/usr/bin/env bash
calls=$(( $(cat "$WORK/calls" 2>/dev/null || echo 0) + 1 ))
echo $calls >"$WORK/calls"
if [ "$calls" -le "$LOCKED" ]; then
    echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 42 (apt-get)"
    exit 100
fi
case " $* " in *" install "*) [ -n "${FAIL:-}" ] && { echo "E: $FAIL"; exit 100; }; echo "installed: ${*: -1}";; esac
exit 0
STAND_IN
chmod +x "$work/apt-get"

run() {  # LOCKED FAIL WAIT: runs the installer, output to $work/out; its status
    rm -f "$work/calls"
    WORK=$work LOCKED=$1 FAIL=$2 APT_GET=$work/apt-get APT_LOCK_WAIT_SECONDS=$3 \
        APT_LOCK_RETRY_SECONDS=0.1 "$install" sl >"$work/out" 2>&1
}

run 3 "" 60
expect_equal "status after the lock was let go" "$?" 0
expect_equal "what it said" "$(grep -c 'waiting for it to finish' "$work/out")" 1
expect_equal "the lock's own complaints" "$(grep -c 'Could not get lock' "$work/out")" 0
expect_equal "installed" "$(grep -c 'installed: sl' "$work/out")" 1

run 1000 "" 1
expect_equal "status when the lock is never let go" "$([ $? != 0 ] && echo failed)" failed
expect_equal "giving up" "$(grep -c 'giving up' "$work/out")" 1

run 0 "Unable to locate package sl" 60
expect_equal "status of another error" "$([ $? != 0 ] && echo failed)" failed
expect_equal "calls for another error" "$(cat "$work/calls")" 2  # update, then install once
expect_equal "its words" "$(grep -c 'Unable to locate package' "$work/out")" 1

finish

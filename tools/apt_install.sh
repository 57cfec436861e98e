#!/usr/bin/env bash
# Installs Debian packages with apt-get. While another package manager (an apt-get in another
# terminal, an unattended upgrade) holds its lock, waits for it, saying so, up to
# APT_LOCK_WAIT_SECONDS (five minutes), instead of failing at once.
#   apt_install.sh PACKAGE...
# APT_GET names another apt-get (the tests' stand-in); APT_LOCK_RETRY_SECONDS the pause
# between tries.
set -uo pipefail

apt_get=${APT_GET:-apt-get}
wait_seconds=${APT_LOCK_WAIT_SECONDS:-300}
retry_seconds=${APT_LOCK_RETRY_SECONDS:-3}
sudo=""
if [ "$(id -u)" != "0" ] && [ -z "${APT_GET:-}" ]; then sudo=sudo; fi
lock_words="Could not get lock|Unable to lock|Unable to acquire the dpkg frontend lock"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Runs the command with its output shown as it comes, but for the lock's complaints; again and
# again while the lock is held.
with_lock() {
    local deadline=$((SECONDS + wait_seconds)) told=0 status
    while :; do
        "$@" 2>&1 | tee "$log" | grep -vE "$lock_words"
        status=${PIPESTATUS[0]}
        [ "$status" = 0 ] && return 0
        grep -qE "$lock_words" "$log" || return "$status"
        if [ $SECONDS -ge $deadline ]; then
            grep -E "$lock_words" "$log" >&2
            echo "another package manager still holds the lock after ${wait_seconds} s; giving up" >&2
            return "$status"
        fi
        if [ $told = 0 ]; then
            echo "another package manager is at work; waiting for it to finish (at most ${wait_seconds} s)"
            told=1
        fi
        sleep "$retry_seconds"
    done
}

with_lock $sudo "$apt_get" update -qq || exit
with_lock $sudo env DEBIAN_FRONTEND=noninteractive "$apt_get" install -y -qq "$@"

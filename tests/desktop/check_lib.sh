# Helpers shared by the checks of the desktop entry, the AppStream entry and the manual pages.
# A check goes on after a failure, so one run names every fault; finish sets the exit status.

failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_quiet WHAT COMMAND...: COMMAND must succeed and print nothing on stderr (man prints its
# warnings there while still exiting 0).
expect_quiet() {
    local what=$1
    shift
    check_output "$what" stderr "$@"
}

# expect_silent WHAT COMMAND...: COMMAND must succeed and print nothing at all
# (desktop-file-validate prints its errors on stdout and still exits 0).
expect_silent() {
    local what=$1
    shift
    check_output "$what" both "$@"
}

check_output() {
    local what=$1 streams=$2
    shift 2
    local out err
    out=$(mktemp)
    err=$(mktemp)
    if ! "$@" >"$out" 2>"$err"; then
        fail "$what: '$*' failed"
        cat "$out" "$err" >&2
    elif [ -s "$err" ] || { [ "$streams" = both ] && [ -s "$out" ]; }; then
        fail "$what: '$*' complained"
        cat "$out" "$err" >&2
    fi
    rm -f "$out" "$err"
}

# expect_equal WHAT ACTUAL EXPECTED
expect_equal() {
    [ "$2" = "$3" ] || fail "$1: got '$2', expected '$3'"
}

# xml_values FILE XPATH: the text (or, with XPATH ending in /@name, the attribute) of every
# element XPATH finds, one a line.
xml_values() {
    python3 - "$1" "$2" <<'PY'
import sys
import xml.etree.ElementTree as ET
path = sys.argv[2]
attribute = None
if "/@" in path:
    path, attribute = path.rsplit("/@", 1)
for element in ET.parse(sys.argv[1]).getroot().findall(path):
    value = element.get(attribute) if attribute else element.text
    print((value or "").strip())
PY
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}

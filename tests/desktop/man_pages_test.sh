#!/usr/bin/env bash
# The manual pages: rendered without a warning, with a NAME line apropos can index, and
# describing every option and command the programs themselves list in their help.
#   man_pages_test.sh SOURCE_DIR ZIRVAK ZIRVAK_CLI
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"

pages=$1/res/man
zirvak=$2
zirvak_cli=$3
export LC_ALL=C.UTF-8 MANWIDTH=80 QT_QPA_PLATFORM=offscreen

for page in zirvak zirvak-cli; do
    file=$pages/$page.1
    expect_quiet "$page.1" man --warnings -E UTF-8 -l "$file"
    whatis=$(lexgrog "$file" 2>&1)
    case $whatis in
        *": \"$page - "?*) ;;
        *) fail "$page.1: NAME line not indexable: $whatis" ;;
    esac
done

# documents PAGE HELP_TEXT: every long option in HELP_TEXT is in PAGE as \-\-name.
documents_options() {
    local option
    for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$2" | sort -u); do
        grep -qF -- "${option//-/\\-}" "$pages/$1" || fail "$1 does not describe $option"
    done
}

# Help goes to stdout or stderr, and a program may exit 2 after it; only the text matters here.
help=$("$zirvak" --help 2>&1)
[ -n "$help" ] || fail "zirvak --help printed nothing"
documents_options zirvak.1 "$help"

help=$("$zirvak_cli" --help 2>&1)
[ -n "$help" ] || fail "zirvak-cli --help printed nothing"
documents_options zirvak-cli.1 "$help"
for command in $(grep -oE 'zirvak-cli [a-z]+' <<<"$help" | cut -d ' ' -f 2 | sort -u); do
    grep -A 1 '^\.TP' "$pages/zirvak-cli.1" | grep -qE "^\.BI? $command( |$)" ||
        fail "zirvak-cli.1 does not describe the command $command"
done

finish

#!/usr/bin/env bash
# One version and one day everywhere a release is named: the AppStream entry, the Debian
# changelog (kept by hand, so the one most easily forgotten) and the manual pages' examples.
#   release_version_test.sh SOURCE_DIR VERSION DATE METAINFO
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"

source_dir=$1
version=$2
date=$3
metainfo=$4
changelog=$source_dir/res/debian/changelog

# The newest release comes first, as software centres read it.
expect_equal "AppStream release" "$(xml_values "$metainfo" "releases/release/@version" | head -n 1)" \
    "$version"
expect_equal "AppStream release day" "$(xml_values "$metainfo" "releases/release/@date" | head -n 1)" \
    "$date"

expect_equal "Debian changelog version" "$(dpkg-parsechangelog -l "$changelog" -S Version)" \
    "$version"
changelog_day=$(date -u -d "$(dpkg-parsechangelog -l "$changelog" -S Date)" +%F)
expect_equal "Debian changelog day" "$changelog_day" "$date"

for page in "$source_dir"/res/man/*.1; do
    while read -r quoted; do
        expect_equal "version quoted in $(basename "$page")" "${quoted##* }" "$version"
    done < <(grep -oE 'zirvak(\\-cli)? [0-9]+\.[0-9]+(\.[0-9]+)?' "$page")
done

finish

#!/usr/bin/env bash
# The desktop entry and the AppStream entry: both valid without a warning, and pointing at what
# the project really has (a software centre shows those screenshots and launches that entry).
#   desktop_entry_test.sh SOURCE_DIR METAINFO
set -uo pipefail
. "$(dirname "$0")/check_lib.sh"

source_dir=$1
metainfo=$2
desktop=$source_dir/res/zirvak.desktop

expect_silent "desktop entry" desktop-file-validate "$desktop"
expect_quiet "AppStream entry" appstreamcli validate --no-net "$metainfo"
# appstreamcli prints its findings on stdout: warnings and errors fail, notes and hints do not.
findings=$(appstreamcli validate --no-net "$metainfo" 2>&1 | grep -E '^[WE]: ')
[ -z "$findings" ] || fail "AppStream entry has warnings or errors:"$'\n'"$findings"

# The entry it launches is the one installed, under the name the window gives the media
# controls.
expect_equal "launchable" "$(xml_values "$metainfo" "launchable[@type='desktop-id']")" \
    "$(basename "$desktop")"

# Every screenshot is one of docs/, with its true size; exactly one is the default.
defaults=$(xml_values "$metainfo" "screenshots/screenshot[@type='default']" | wc -l)
expect_equal "default screenshots" "$defaults" 1
while read -r url width height; do
    png=$source_dir/docs/$(basename "$url")
    if [ ! -f "$png" ]; then
        fail "screenshot $url: no $png"
        continue
    fi
    size=$(python3 -c 'import struct, sys
header = open(sys.argv[1], "rb").read(24)
print(*struct.unpack(">II", header[16:24]))' "$png")
    expect_equal "size of $png" "$size" "$width $height"
done < <(paste -d ' ' \
    <(xml_values "$metainfo" "screenshots/screenshot/image") \
    <(xml_values "$metainfo" "screenshots/screenshot/image/@width") \
    <(xml_values "$metainfo" "screenshots/screenshot/image/@height"))

finish

#!/usr/bin/env bash
# Checks the Debian package `make package` built, as a user's machine would meet it: lintian
# finds no error; it depends on the Qt, SDL and TagLib libraries; its files have a package's
# owners and modes and match its md5sums; unpacked, it holds the programs, the manual pages,
# the desktop and AppStream entries and the icons, and its programs find their libraries on
# the system and print the package's version.
#   tools/check_package.sh [PACKAGE.deb]    (by default the one .deb in build/package)
# Every check runs even after one fails, so a run names every fault.
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
. "$repo/tests/desktop/check_lib.sh"

if [ $# -ge 1 ]; then
    deb=$1
else
    debs=("$repo"/build/package/*.deb)
    if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
        echo "expected one package in build/package (make package), found: ${debs[*]}" >&2
        exit 1
    fi
    deb=${debs[0]}
fi
echo "checking $deb"
version=$(dpkg-deb -f "$deb" Version)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

# Lintian: errors fail; warnings and notes are printed for whoever reads the log.
echo "--- lintian"
lintian --display-info "$deb" 2>&1 | tee "$work/lintian.txt"
grep -q '^E: ' "$work/lintian.txt" && fail "lintian reports errors"

echo "--- dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends"
while read -r library pattern; do
    grep -qE "(^|, )$pattern" <<<"$depends" || fail "Depends names no $library package"
done <<'TABLE'
Qt6-Widgets libqt6widgets6
SDL2        libsdl2-2\.0-0
TagLib      libtag1
libFLAC     libflac12
vorbisfile  libvorbisfile3
opusfile    libopusfile0
libebur128  libebur128-1
TABLE

echo "--- owners and modes"
# Folders 0755, programs 0755, everything else 0644, all root's.
while read -r mode owner _ _ _ path; do
    case $path in
        */) want=drwxr-xr-x ;;
        ./usr/bin/*) want=-rwxr-xr-x ;;
        *) want=-rw-r--r-- ;;
    esac
    expect_equal "mode of $path" "$mode" "$want"
    expect_equal "owner of $path" "$owner" root/root
done < <(dpkg-deb -c "$deb")

dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"
if [ -f "$work/control/md5sums" ]; then
    (cd "$root" && md5sum --check --quiet "$work/control/md5sums") || fail "md5sums do not match"
else
    fail "no md5sums in the control archive"
fi

echo "--- files"
for path in usr/bin/zirvak usr/bin/zirvak-cli \
    usr/share/man/man1/zirvak.1.gz usr/share/man/man1/zirvak-cli.1.gz \
    usr/share/applications/zirvak.desktop \
    usr/share/metainfo/io.github.zirvak.Zirvak.metainfo.xml \
    usr/share/doc/zirvak/copyright usr/share/doc/zirvak/changelog.gz \
    usr/share/icons/hicolor/{16x16,32x32,48x48,128x128,256x256}/apps/zirvak.png; do
    [ -f "$root/$path" ] || fail "missing /$path"
done

# What the desktop entry and the AppStream entry name is in the package.
desktop=$root/usr/share/applications/zirvak.desktop
if [ -f "$desktop" ]; then
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -x "$root/usr/bin/$exec_program" ] || fail "Exec=$exec_program is not in /usr/bin"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ -f "$root/usr/share/icons/hicolor/256x256/apps/$icon.png" ] || fail "no icon $icon"
fi
metainfo=$root/usr/share/metainfo/io.github.zirvak.Zirvak.metainfo.xml
if [ -f "$metainfo" ]; then
    launchable=$(xml_values "$metainfo" "launchable[@type='desktop-id']")
    [ -f "$root/usr/share/applications/$launchable" ] || fail "launchable $launchable missing"
    for binary in $(xml_values "$metainfo" "provides/binary"); do
        [ -x "$root/usr/bin/$binary" ] || fail "provided binary $binary missing"
    done
fi

for page in zirvak zirvak-cli; do
    file=$root/usr/share/man/man1/$page.1.gz
    [ -f "$file" ] &&
        LC_ALL=C.UTF-8 MANWIDTH=80 expect_quiet "installed $page.1" man --warnings -E UTF-8 -l "$file"
done

echo "--- programs"
for program in zirvak zirvak-cli; do
    binary=$root/usr/bin/$program
    [ -f "$binary" ] || continue
    # The system's libraries, never a path into a build folder.
    if readelf -d "$binary" | grep -qE 'R(UN)?PATH'; then
        fail "$program has a run path: $(readelf -d "$binary" | grep -E 'R(UN)?PATH')"
    fi
    missing=$(env -u LD_LIBRARY_PATH ldd "$binary" | grep 'not found')
    [ -z "$missing" ] || fail "$program: libraries not found: $missing"
    # --version answers before any window, sound or bus is opened; a program that ignores it
    # would run on, hence the time limit.
    printed=$(env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
        XDG_CACHE_HOME="$work/cache" timeout 20 "$binary" --version 2>"$work/stderr")
    status=$?
    echo "$program --version: $printed (status $status)"
    cat "$work/stderr"
    expect_equal "$program --version" "$printed" "$program $version"
    expect_equal "$program --version status" "$status" 0
done

finish

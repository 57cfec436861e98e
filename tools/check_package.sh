#!/usr/bin/env bash
# Checks the Debian package `make package` built, as a user's machine would meet it: lintian
# finds no error; it depends on SDL and on the package of every library its programs are linked
# with (Qt, TagLib, each format's own); its files have a package's owners and modes and match
# its md5sums; unpacked, it holds the programs, the manual pages, the desktop and AppStream
# entries and the icons, and its programs find their libraries on the system and print the
# package's version.
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
# SDL2 is loaded when sound first plays, so no program is linked with it; every library they are
# linked with is checked below.
grep -qE "(^|, )libsdl2-2\.0-0" <<<"$depends" || fail "Depends names no SDL2 package"

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
    # Every library it is linked with (Qt, TagLib, each format's own...) comes from a package
    # that Depends names: the one holding it, or the one its symbols or shlibs file gives.
    for library in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        path=$(ldconfig -p | awk -v l="$library" '$1 == l {print $NF; exit}')
        owner=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(readlink -f "$path")" 2>/dev/null)
        owner=${owner%%:*}
        if [ -z "$owner" ]; then
            fail "$program: no package holds $library"
            continue
        fi
        name=${library%%.so*}
        packages=$(
            echo "$owner"
            cat /var/lib/dpkg/info/"$owner"{,:*}.symbols 2>/dev/null |
                awk -v l="$library" '$1 == l {print $2}'
            cat /var/lib/dpkg/info/"$owner"{,:*}.shlibs 2>/dev/null |
                awk -v n="${name#lib}" '$1 == n || $1 == "lib" n {print $3}'
        )
        named=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
        grep -qxFf <(sort -u <<<"$packages") <<<"$named" ||
            fail "$program: Depends names no package of $library ($owner)"
    done
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

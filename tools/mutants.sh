#!/usr/bin/env bash
# Mutation check: every line of the list changes one line of the code (a constant, a
# comparison, a rule switched off) in a copy of the tree, rebuilds it and runs the Release
# suite. Each change must make some test fail; the ones that pass every test are printed as
# survivors and the check fails.
#
#   tools/mutants.sh [--ci] [--in-place] [LIST]
#       LIST defaults to tools/mutants.txt; --ci takes only the lines marked "ci".
#       --in-place changes the tree itself and rebuilds build/release, right after `make test`
#       has built it and passed (as CI runs it): no copy to build from nothing, no second run of
#       the unchanged suite. Each change is undone as soon as it is judged, and on any exit.
#
# A list line reads   path: original text => replacement  @test_program [ci]
# The original text must occur exactly once in the file. The named test program runs first
# because it is the one expected to fail; only when it passes does the whole suite run.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
only_ci=0
in_place=0
list=$root/tools/mutants.txt
for arg in "$@"; do
    case $arg in
        --ci) only_ci=1 ;;
        --in-place) in_place=1 ;;
        *) list=$arg ;;
    esac
done

work=$root/build/mutants
tree=$work/tree
build=$work/build
log=$work/log
if [ "$in_place" = 1 ]; then
    tree=$root
    build=$root/build/release
fi
mkdir -p "$tree" "$log"

conformance=$(cd "$root/.." && pwd)/shared/conformance
if [ -z "${ZIRVAK_CONFORMANCE_DIR:-}" ] && [ -d "$conformance" ]; then
    export ZIRVAK_CONFORMANCE_DIR=$conformance
fi

# The copy follows the working tree; only files whose content differs are copied, so they
# get a fresh time stamp and everything else stays built. Files gone from the tree go from the
# copy too (a header left behind would still be found first).
sync_tree() {
    (cd "$root" && git ls-files --cached --others --exclude-standard) | sort >"$work/files"
    while read -r f; do
        [ -f "$root/$f" ] || continue
        if ! cmp -s "$root/$f" "$tree/$f"; then
            mkdir -p "$(dirname "$tree/$f")"
            cp "$root/$f" "$tree/$f"
        fi
    done <"$work/files"
    (cd "$tree" && find . -type f | sed 's|^\./||' | sort) | comm -23 - "$work/files" |
        while read -r f; do rm -f "$tree/$f"; done
}

build_tree() {
    ninja -C "$build" -j2 >"$log/build.txt" 2>&1
}

run_suite() {
    ctest --test-dir "$build" -j2 --stop-on-failure --timeout 300 >"$log/suite.txt" 2>&1
}

# Replaces the one occurrence of $2 in file $1 by $3; fails when it is not there exactly once.
apply() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, old, new = sys.argv[1:]
text = open(path).read()
count = text.count(old)
if count != 1:
    sys.exit(f"{path}: '{old}' occurs {count} times")
open(path, "w").write(text.replace(old, new))
EOF
}

# The file changed last, put back however the check ends.
changed=""
restore() {
    if [ -n "$changed" ]; then
        cp "$work/original" "$tree/$changed"
        touch "$tree/$changed"
        changed=""
    fi
}
trap restore EXIT
trap 'exit 130' INT TERM

if [ "$in_place" = 1 ]; then
    [ -f "$build/build.ninja" ] || (cd "$root" && cmake --preset release >"$log/configure.txt")
    echo "building the tree as it is"
    build_tree || { tail -n 40 "$log/build.txt"; exit 1; }
else
    echo "copying the tree to $tree"
    sync_tree
    if [ ! -f "$build/build.ninja" ]; then
        cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DZIRVAK_BUILD_BENCHMARKS=OFF >"$log/configure.txt"
    fi
    echo "building and running the unchanged suite"
    build_tree || { tail -n 40 "$log/build.txt"; exit 1; }
    run_suite || { tail -n 40 "$log/suite.txt"; echo "the unchanged suite fails"; exit 1; }
fi

# Read whole before the first change, so the list may be edited while the check runs.
mapfile -t lines <"$list"
total=0
survivors=()
broken=()
for line in "${lines[@]}"; do
    case $line in '' | '#'*) continue ;; esac
    entry=${line%% @*}
    tail_words=${line##* @}
    [ "$only_ci" = 1 ] && [[ " $tail_words " != *" ci "* ]] && continue
    program=${tail_words%% *}
    path=${entry%%: *}
    change=${entry#*: }
    old=${change%% => *}
    new=${change#* => }
    total=$((total + 1))
    name="$path: $old => $new"

    echo "no such file" >"$log/apply.txt"
    if [ ! -f "$tree/$path" ] || ! cp "$tree/$path" "$work/original"; then
        broken+=("$name ($(cat "$log/apply.txt"))")
        echo "NOT APPLIED  $name"
        continue
    fi
    changed=$path
    if ! apply "$tree/$path" "$old" "$new" 2>"$log/apply.txt"; then
        changed=""
        broken+=("$name ($(cat "$log/apply.txt"))")
        echo "NOT APPLIED  $name"
        continue
    fi
    # The expected program is built and run on its own first: most mutants end there, without
    # relinking every other program.
    if ! ninja -C "$build" -j2 "$program" >"$log/build.txt" 2>&1; then
        broken+=("$name (does not build)")
        echo "NO BUILD     $name"
    elif binary=$(find "$build/tests" -name "$program" -type f -perm -u+x | head -n 1) &&
        [ -n "$binary" ] && ! (cd "$(dirname "$binary")" &&
        timeout 300 "$binary" >"$log/first.txt" 2>&1); then
        echo "killed       $name  ($program)"
    elif ! build_tree; then
        broken+=("$name (does not build)")
        echo "NO BUILD     $name"
    else
        if ! run_suite; then
            echo "killed       $name  ($(grep -m1 -oE '[0-9]+ - [^ ]+' "$log/suite.txt" || echo suite))"
        else
            survivors+=("$name")
            echo "SURVIVED     $name"
        fi
    fi
    # The original comes back newer than the mutant's objects, so the next build redoes them.
    restore
done

build_tree || true
echo
echo "$total mutations: $((total - ${#survivors[@]} - ${#broken[@]})) killed," \
    "${#survivors[@]} survived, ${#broken[@]} not applicable"
for s in "${survivors[@]}"; do echo "  survived: $s"; done
for b in "${broken[@]}"; do echo "  not applicable: $b"; done
[ ${#survivors[@]} -eq 0 ] && [ ${#broken[@]} -eq 0 ]

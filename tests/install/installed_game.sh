#!/usr/bin/env bash
# installed_game.sh <cmake> <build tree>
# Installs the game into a temporary prefix, starts it headless from its launcher link,
# closes it with SIGTERM and checks that its answers were kept: beside the executable while
# its folder can be written, in the per-user data folder once it cannot.
set -euo pipefail
cmake=$1
build=$2
name=dorlo-zidoduder-04
store="Dorlo Zidoduder 04.dat"

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
chmod 755 "$work" # the other user of the read-only case must reach the prefix
prefix=$work/prefix
program=$prefix/lib/$name
launcher=$prefix/bin/$name
failures=0
passes=0

check() { # check <what> <command...>
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $what" >&2
        failures=$((failures + 1))
    fi
}

fails() { ! "$@"; }

if ! "$cmake" --install "$build" --component game --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
fi

# What is installed, and nothing else: no test programs, no benchmarks.
expected=(
    "bin/$name"
    "lib/$name/$name"
    "lib/$name/$store"
    "lib/$name/libdorlo-media.so"
    "share/applications/$name.desktop"
    "share/metainfo/example.dorlos.dorlo_zidoduder_04.metainfo.xml"
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$name.png")
done
actual=$(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
check "installed files: $(diff <(echo "$wanted") <(echo "$actual") | tr '\n' ' ')" \
    test "$actual" = "$wanted"
check "launcher is a relative link to the program folder" \
    test "$(readlink "$launcher")" = "../lib/$name/$name"
check "the store installed whole" cmp -s "$build/$store" "$program/$store"
# Nothing installed names the build tree (debug information aside: the package is stripped).
# A sanitized build is never shipped, and its reports name the sources, generated ones too.
build_dir=$(cd "$build" && pwd)
if ! grep -q '^DORLO_SANITIZE:BOOL=ON$' "$build/CMakeCache.txt"; then
    for file in "$program/$name" "$program/libdorlo-media.so"; do
        strip -o "$work/stripped" "$file"
        check "$(basename "$file") names no build folder" \
            fails grep -qF "$build_dir" "$work/stripped"
    done
fi
# The sound server's client and the MP3 decoder come with the media module, loaded once the
# window is drawn, not with the game.
game_libs=$(ldd "$program/$name")
module_libs=$(ldd "$program/libdorlo-media.so")
check "the game links neither the sound server's client nor the decoder" \
    fails grep -qiE 'libpulse|libmpg123|multimedia' <<<"$game_libs"
check "the media module links the sound server's client" grep -q libpulse <<<"$module_libs"
check "the media module links the MP3 decoder" grep -q libmpg123 <<<"$module_libs"
check "everything the media module needs is found" fails grep -q 'not found' <<<"$module_libs"

png_size() { # width and height from the IHDR chunk
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}
for size in 16 22 24 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/$name.png
    check "icon ${size}x${size} has that size" test "$(png_size "$png")" = "${size}x${size}"
done

# --- The game itself, started from the launcher. ---
if [ "$(id -u)" -eq 0 ]; then
    # Permissions bind only an ordinary user: root would write anywhere.
    other=(setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all)
    owner=nobody:nogroup
else
    other=()
    owner=
fi

# Under the sanitizers, the other user must be able to read the leak suppressions too.
if [[ ${LSAN_OPTIONS:-} =~ suppressions=([^:]+) ]] && [ -f "${BASH_REMATCH[1]}" ]; then
    install -m 644 "${BASH_REMATCH[1]}" "$work/lsan.supp"
    export LSAN_OPTIONS=${LSAN_OPTIONS/"${BASH_REMATCH[1]}"/$work/lsan.supp}
fi

new_home() { # a home of its own for each run, owned by the user who runs the game
    home=$(mktemp -d "$work/home.XXXX")
    mkdir -p "$home/data/$name" "$home/tmp" "$home/run"
    chmod 700 "$home/run"
    if [ -n "${1:-}" ]; then chown -R "$1" "$home"; fi
}

seed() { # seed <file> <answer 7> [owner]: blanks the start-up check trims, bare LF ends
    printf ' 1:\n 2:\n 3:\n 4:\n 5:\n 6:\n 7:  %s  \n' "$2" >"$1"
    if [ -n "${3:-}" ]; then chown "$3" "$1"; fi
}

kept() { # kept <file> <answer 7>: the game rewrote it whole, the answer as it was checked
    local n
    for n in $(seq 1 30); do
        if [ "$n" -eq 7 ]; then printf '%2d:%s\r\n' "$n" "$2"; else printf '%2d:\r\n' "$n"; fi
    done >"$work/expected.REP"
    cmp -s "$work/expected.REP" "$1"
}

game_ready() { # the game sets its handler first thing; a signal before would kill it
    local mask
    # Until the game is exec'd, the pid is the shell's fork or a runner, whose handlers
    # are not the game's.
    [ "$(basename "$(readlink "/proc/$1/exe" 2>/dev/null)")" = "$name" ] || return 1
    mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
    [ -n "$mask" ] && (((16#$mask >> 14) & 1))
}

run_game() { # run_game <runner...>: start from the launcher, close by SIGTERM
    local pid status waited=0
    env HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run" TMPDIR="$home/tmp" \
        QT_QPA_PLATFORM=offscreen "$@" "$launcher" 2>"$home/stderr" &
    pid=$!
    until game_ready "$pid"; do
        if ((waited++ > 600)) || ! kill -0 "$pid" 2>/dev/null; then
            echo "FAIL: the game did not start" >&2
            cat "$home/stderr" >&2
            kill -KILL "$pid" 2>/dev/null || true
            return 1
        fi
        sleep 0.05
    done
    running_from=$(readlink "/proc/$pid/exe")
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "FAIL: the game ended with status $status" >&2
        cat "$home/stderr" >&2
        return 1
    fi
    # The game's own diagnostics start with "dorlo:"; the toolkit's are none of ours.
    if grep '^dorlo:' "$home/stderr" >&2; then
        echo "FAIL: the game reported a problem" >&2
        return 1
    fi
}

# 1. A writable program folder: the answers stay beside the executable.
new_home
seed "$program/$name.REP" abc
check "started from the launcher (writable folder)" run_game
check "the launcher led to the program folder" test "$running_from" = "$program/$name"
check "answers kept beside the executable" kept "$program/$name.REP" abc
check "nothing written beside the launcher" test ! -e "$prefix/bin/$name.REP"
check "nothing written in the per-user folder" test ! -e "$home/data/$name/$name.REP"
rm -f "$program/$name.REP"

# 2. A program folder the player cannot write: the per-user folder takes over.
[ ${#other[@]} -eq 0 ] && chmod a-w "$program"
new_home "$owner"
check "the program folder is read-only to the player" fails "${other[@]}" test -w "$program"
seed "$home/data/$name/$name.REP" abc "$owner"
check "started from the launcher (read-only folder)" run_game "${other[@]}"
check "answers kept in the per-user folder" kept "$home/data/$name/$name.REP" abc
check "nothing written in the program folder" test ! -e "$program/$name.REP"
check "nothing written beside the launcher" test ! -e "$prefix/bin/$name.REP"

# 3. Answers left in the program folder by someone who could write there (the administrator
# trying the game): read-only to the player, they are a starting point, not a dead end.
[ ${#other[@]} -eq 0 ] && chmod u+w "$program"
seed "$program/$name.REP" abc
chmod a-w "$program/$name.REP"
[ ${#other[@]} -eq 0 ] && chmod a-w "$program"
new_home "$owner"
check "started from the launcher (answers left in the program folder)" run_game "${other[@]}"
check "those answers carried over into the per-user folder" \
    kept "$home/data/$name/$name.REP" abc
seed "$home/data/$name/$name.REP" def "$owner"
check "started from the launcher (both files)" run_game "${other[@]}"
check "the player's own answers win" kept "$home/data/$name/$name.REP" def

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

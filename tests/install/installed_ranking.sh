#!/usr/bin/env bash
# installed_ranking.sh <cmake> <build tree>
# Installs the ranking server's component alone: its program and its systemd unit, nothing
# else; the unit passes systemd-analyze verify, and the installed program serves.
set -euo pipefail
cmake=$1
build=$2

work=$(mktemp -d)
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
prefix=$work/root/usr
if ! "$cmake" --install "$build" --component ranking --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install --component ranking" >&2
    exit 1
fi
actual=$(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
wanted=$(printf '%s\n' bin/dorlo-ranking lib/systemd/system/dorlo-ranking.service)
if [ "$actual" != "$wanted" ]; then
    echo "FAIL: installed files:" >&2
    diff <(echo "$wanted") <(echo "$actual") >&2
    exit 1
fi
if readelf -d "$prefix/bin/dorlo-ranking" | grep -qE 'RPATH|RUNPATH'; then
    echo "FAIL: the installed program keeps a run path" >&2
    exit 1
fi

# The unit as installed, pointing at this prefix's program; any complaint fails.
if ! command -v systemd-analyze >/dev/null; then
    echo "SKIP: systemd-analyze is not available (package systemd)"
    exit 77
fi
unit=$work/dorlo-ranking.service
sed "s|/usr/bin/dorlo-ranking|$prefix/bin/dorlo-ranking|" \
    "$prefix/lib/systemd/system/dorlo-ranking.service" >"$unit"
if ! systemd-analyze verify "$unit" >"$work/verify.log" 2>&1 || [ -s "$work/verify.log" ]; then
    echo "FAIL: systemd-analyze verify:" >&2
    cat "$work/verify.log" >&2
    exit 1
fi
grep -q '^DynamicUser=yes$' "$unit" && grep -q '^StateDirectory=dorlo-ranking$' "$unit" &&
    grep -q 'sqlite:/var/lib/dorlo-ranking/' "$unit" || {
    echo "FAIL: the unit does not run unprivileged with its database under /var/lib" >&2
    exit 1
}

# The installed program answers on a free port.
"$prefix/bin/dorlo-ranking" --listen 127.0.0.1:0 --database "sqlite:$work/r.sqlite" \
    >"$work/out" 2>"$work/err" &
server=$!
for _ in $(seq 100); do
    grep -q 'listening on' "$work/out" && break
    sleep 0.1
done
port=$(sed -n 's|.*listening on http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/out")
[ -n "$port" ] || { echo "FAIL: the installed program did not start" >&2; cat "$work/err" >&2; exit 1; }
exec 3<>"/dev/tcp/127.0.0.1/$port"
printf 'GET /healthz HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n' >&3
head -n 1 <&3 | grep -q '^HTTP/1.1 200' || { echo "FAIL: /healthz" >&2; exit 1; }
echo "installed ranking server: files, unit and /healthz as expected"

#!/usr/bin/env bash
# installed_ranking.sh <cmake> <build tree>
# Installs the ranking server's component alone: its program, its systemd units, its nginx
# site and settings under /etc, nothing else; the units pass systemd-analyze verify, and the
# installed program serves.
set -euo pipefail
cmake=$1
build=$2

work=$(mktemp -d)
server=""
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
root=$work/root
prefix=$root/usr
if ! DESTDIR=$root "$cmake" --install "$build" --component ranking --prefix /usr \
    >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install --component ranking" >&2
    exit 1
fi
actual=$(cd "$root" && find . \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort)
wanted=$(printf '%s\n' etc/default/dorlo-ranking etc/nginx/sites-available/dorlo-ranking \
    usr/bin/dorlo-ranking usr/lib/systemd/system/dorlo-ranking.service \
    usr/lib/systemd/system/dorlo-ranking@.service)
if [ "$actual" != "$wanted" ]; then
    echo "FAIL: installed files:" >&2
    diff <(echo "$wanted") <(echo "$actual") >&2
    exit 1
fi
if readelf -d "$prefix/bin/dorlo-ranking" | grep -qE 'RPATH|RUNPATH'; then
    echo "FAIL: the installed program keeps a run path" >&2
    exit 1
fi

# The units as installed, pointing at this prefix's program, the template as one instance;
# any complaint fails.
if ! command -v systemd-analyze >/dev/null; then
    echo "SKIP: systemd-analyze is not available (package systemd)"
    exit 77
fi
unit=$work/dorlo-ranking.service
for installed in dorlo-ranking.service:dorlo-ranking.service \
    dorlo-ranking@.service:dorlo-ranking@8081.service; do
    sed "s|/usr/bin/dorlo-ranking|$prefix/bin/dorlo-ranking|" \
        "$prefix/lib/systemd/system/${installed%%:*}" >"$work/${installed#*:}"
    if ! systemd-analyze verify "$work/${installed#*:}" >"$work/verify.log" 2>&1 ||
        [ -s "$work/verify.log" ]; then
        echo "FAIL: systemd-analyze verify ${installed%%:*}:" >&2
        cat "$work/verify.log" >&2
        exit 1
    fi
done
grep -q '^EnvironmentFile=/etc/default/dorlo-ranking$' "$work/dorlo-ranking@8081.service" &&
    grep -q -- '--listen ${DORLO_RANKING_HOST}:%i ' "$work/dorlo-ranking@8081.service" || {
    echo "FAIL: the template unit does not listen on its instance's port, with the settings" >&2
    exit 1
}
grep -q '^DynamicUser=yes$' "$unit" && grep -q '^StateDirectory=dorlo-ranking$' "$unit" &&
    grep -q 'sqlite:/var/lib/dorlo-ranking/' "$unit" || {
    echo "FAIL: the unit does not run unprivileged with its database under /var/lib" >&2
    exit 1
}

# The installed program answers on a free port, started as the template unit starts it with the
# shipped settings (the database moved here).
set -a
. "$root/etc/default/dorlo-ranking"
set +a
DORLO_RANKING_DATABASE=sqlite:$work/r.sqlite
eval "set -- $(sed -n 's/^ExecStart=//p' "$work/dorlo-ranking@8081.service" | sed 's/%i/0/')"
"$@" >"$work/out" 2>"$work/err" &
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
echo "installed ranking server: files, units and /healthz as expected"

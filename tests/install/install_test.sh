#!/usr/bin/env bash
# install_test.sh BUILD_DIR VERSION: installs the build into a temporary DESTDIR and checks what
# landed there (desktop entry, AppStream metainfo, icons, manual pages, bash completion, the
# programs); then builds the Debian package, unpacks it and checks the same, plus its control
# data. Exits non-zero with a message on the first fault.
set -euo pipefail
build=$1
version=$2
app_id=example.halvory.Tandrel
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "install_test: $*" >&2
    exit 1
}

# Checks the installed tree under ROOT (the prefix: ROOT/bin, ROOT/share).
check_tree() {
    local root=$1
    local share=$root/share
    local f
    for f in bin/tandrel bin/tandrel-cli; do
        [ -x "$root/$f" ] || fail "$root/$f missing or not executable"
    done

    local desktop=$share/applications/$app_id.desktop
    [ -f "$desktop" ] || fail "$desktop missing"
    desktop-file-validate "$desktop" >"$tmp/out" 2>&1 || fail "desktop entry: $(cat "$tmp/out")"
    grep -qx "Icon=$app_id" "$desktop" || fail "desktop entry names another icon"
    grep -qx "Exec=tandrel" "$desktop" || fail "desktop entry starts another program"

    local metainfo=$share/metainfo/$app_id.metainfo.xml
    [ -f "$metainfo" ] || fail "$metainfo missing"
    appstreamcli validate --no-net "$metainfo" >"$tmp/out" 2>&1 ||
        fail "metainfo: $(cat "$tmp/out")"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo lacks release $version"

    local size png
    for size in 16 24 32 48 64 128 256; do
        png=$share/icons/hicolor/${size}x${size}/apps/$app_id.png
        [ -f "$png" ] || fail "$png missing"
        # Width and height are the big-endian words at bytes 16 and 20 of the IHDR chunk.
        python3 - "$png" "$size" <<'PY' || fail "$png is not a ${size}x${size} PNG"
import struct, sys
data = open(sys.argv[1], 'rb').read(32)
size = int(sys.argv[2])
ok = (data[:8] == b'\x89PNG\r\n\x1a\n' and data[12:16] == b'IHDR'
      and struct.unpack('>II', data[16:24]) == (size, size))
sys.exit(0 if ok else 1)
PY
    done

    local page
    for page in tandrel tandrel-cli; do
        f=$share/man/man1/$page.1.gz
        [ -f "$f" ] || fail "$f missing"
        gzip -t "$f" || fail "$f is not a gzip file"
        MANWIDTH=80 man --warnings -l "$f" >/dev/null 2>"$tmp/out" || fail "man $page failed"
        [ ! -s "$tmp/out" ] || fail "man $page warns: $(cat "$tmp/out")"
    done

    f=$share/bash-completion/completions/tandrel-cli
    [ -f "$f" ] || fail "$f missing"
    # Completes the subcommand, then the options of mirror, in a shell of its own.
    local got
    got=$(bash -c 'source "$1" || exit 1
        COMP_WORDS=(tandrel-cli m); COMP_CWORD=1; _tandrel_cli; echo "${COMPREPLY[*]}"
        COMP_WORDS=(tandrel-cli u); COMP_CWORD=1; _tandrel_cli; echo "${COMPREPLY[*]}"
        COMP_WORDS=(tandrel-cli mirror --d); COMP_CWORD=2; _tandrel_cli; echo "${COMPREPLY[*]}"
        COMP_WORDS=(tandrel-cli batch --move ""); COMP_CWORD=3; cd "$2"
        _tandrel_cli; printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' _ "$f" "$share") || fail "completion does not load"
    [ "$got" = $'mirror\nuncheck\n--delete --dry-run\napplications bash-completion doc icons man metainfo ' ] ||
        fail "completion gave: $got"

    got=$("$root/bin/tandrel-cli" --version) || fail "installed tandrel-cli --version failed"
    [ "$got" = "tandrel-cli $version" ] || fail "installed tandrel-cli --version says: $got"
}

DESTDIR=$tmp/destdir cmake --install "$build" --prefix /usr/local >/dev/null
check_tree "$tmp/destdir/usr/local"

cpack --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$tmp/cpack.log")"
deb=$tmp/package/tandrel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb; cpack made: $(ls "$tmp/package")"
dpkg-deb -c "$deb" >"$tmp/contents"
for f in ./usr/bin/tandrel ./usr/bin/tandrel-cli ./usr/share/applications/$app_id.desktop \
    ./usr/share/man/man1/tandrel-cli.1.gz ./usr/share/icons/hicolor/256x256/apps/$app_id.png; do
    grep -q " $f\$" "$tmp/contents" || fail "package lacks $f"
done
# Debian's policy: every package carries its copyright notice and a compressed changelog.
for f in ./usr/share/doc/tandrel/copyright ./usr/share/doc/tandrel/changelog.gz; do
    grep -q " $f\$" "$tmp/contents" || fail "package lacks $f"
done
if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$deb" >"$tmp/lintian" 2>&1
    ! grep -q '^E: ' "$tmp/lintian" || fail "lintian finds errors: $(grep '^E: ' "$tmp/lintian")"
fi
dpkg -x "$deb" "$tmp/unpacked"
check_tree "$tmp/unpacked/usr"

dpkg-deb -I "$deb" >"$tmp/info"
grep -q '^ Package: tandrel$' "$tmp/info" || fail "package name: $(cat "$tmp/info")"
grep -q "^ Version: $version\$" "$tmp/info" || fail "package version: $(cat "$tmp/info")"
grep -q '^ Section: utils$' "$tmp/info" || fail "package section: $(cat "$tmp/info")"
# Computed from the binaries: the C library for both programs, Qt for the window.
depends=$(sed -n 's/^ Depends: //p' "$tmp/info")
[[ $depends == *libc6* && $depends == *libqt6widgets6* ]] ||
    fail "dependencies not computed: '$depends'"
echo "install_test: installed tree and $(basename "$deb") checked"

#!/usr/bin/env bash
# Installs the build into a temporary prefix, as `cmake --install` or the package would, and checks
# that every file lands where the desktop looks for it, that nothing else is installed, and that
# the desktop entry and the AppStream record pass their validators and agree with each other and
# with the installed programs.
#   check_install.sh BUILD_DIR APP_ID VERSION WITH_GUI(ON|OFF)
set -euo pipefail
build=$1 id=$2 version=$3 gui=$4

skip() {
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $1 (CI=true)" >&2
        exit 1
    fi
    echo "SKIP: $1"
    exit 77
}
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
failed=0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

sizes=(16 32 48 64 128 256)

# Exactly the expected files: a missing one breaks the desktop, an extra one (a test program, a
# static library) has no business on the user's system.
(cd "$prefix" && find . -type f -printf '%P\n' | sort) > "$work/installed"
bash "$(dirname "$0")/installed_files.sh" "$id" "$gui" > "$work/expected"
if ! diff -u "$work/expected" "$work/installed" > "$work/diff"; then
    fail "installed files differ from the expected ones:"
    cat "$work/diff" >&2
fi

for f in bin/quillmar-cli bin/quillmar; do
    [ -e "$prefix/$f" ] || continue
    [ -x "$prefix/$f" ] || fail "$f is not executable"
done
for f in "$prefix"/share/man/man1/*.gz "$prefix/share/doc/quillmar/changelog.gz"; do
    gzip -t "$f" || fail "$f is not a valid gzip file"
done
# The programs report the version the metadata announces.
out=$("$prefix/bin/quillmar-cli" --version)
[ "$out" = "quillmar-cli $version" ] || fail "quillmar-cli --version printed '$out'"

if [ "$gui" = ON ]; then
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/quillmar" --version)
    [ "$out" = "Quillmar $version" ] || fail "quillmar --version printed '$out'"

    # Every icon is drawn at the size its folder names, or the desktop scales a wrong one.
    for n in "${sizes[@]}"; do
        png="$prefix/share/icons/hicolor/${n}x${n}/apps/$id.png"
        [ -f "$png" ] || continue
        # A PNG's width and height are the big-endian words at bytes 16 and 20.
        read -r w h < <(od -An -j16 -N8 -tu1 "$png" |
            awk '{ print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
        [ "$(head -c8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
            fail "$png is not a PNG"
        [ "$w $h" = "$n $n" ] || fail "$png is ${w}x$h, not ${n}x$n"
    done
    svg="$prefix/share/icons/hicolor/scalable/apps/$id.svg"
    if [ -f "$svg" ]; then
        grep -q '<svg' "$svg" || fail "$svg is not an SVG image"
        ! grep -qE '(xlink:)?href="(https?:|file:|/)' "$svg" || fail "$svg refers to outside files"
    fi

    command -v desktop-file-validate > /dev/null || skip "desktop-file-validate missing (desktop-file-utils)"
    command -v appstreamcli > /dev/null || skip "appstreamcli missing (appstream)"
    desktop=$prefix/share/applications/$id.desktop
    metainfo=$prefix/share/metainfo/$id.metainfo.xml
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $id.desktop"
    appstreamcli validate --no-net --strict "$metainfo" > "$work/appstream" 2>&1 ||
        { fail "appstreamcli rejects $id.metainfo.xml:"; cat "$work/appstream" >&2; }

    # The entry starts an installed program, names the installed icon, and the AppStream record
    # launches that entry and announces this version.
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [ "$exec_line" = "quillmar %F" ] || fail "Exec is '$exec_line'"
    [ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec names ${exec_line%% *}, which is not installed"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon" = "$id" ] || fail "Icon is '$icon', the installed icon is $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fail "the AppStream record does not launch $id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the AppStream record has no release $version"
fi

[ "$failed" = 0 ] || exit 1
echo "installed as expected: $(wc -l < "$work/installed") files"

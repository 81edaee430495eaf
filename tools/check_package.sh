#!/usr/bin/env bash
# Checks a built Debian package: its control fields, that it holds exactly the files a user's
# system should get, owned by root with the usual modes, and what lintian finds in it.
#   tools/check_package.sh quillmar_VERSION_ARCH.deb APP_ID VERSION
set -euo pipefail
deb=$1 id=$2 version=$3
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillmar ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = devel ] || fail "Section is '$(field Section)'"
[ -n "$(field Homepage)" ] || fail "no Homepage"
# dpkg-shlibdeps must have found the libraries the programs link; a package without them installs
# on a system that cannot start it.
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libuchardet0 libacl1; do
    tr ',' '\n' <<< "$depends" | awk -v lib="$lib" '$1 == lib { found = 1 } END { exit !found }' ||
        fail "Depends lacks $lib: $depends"
done
[ "$(field Description | wc -l)" -gt 3 ] || fail "the description has no long part"

# Every path, with owner and mode.
listing=$(mktemp)
trap 'rm -f "$listing"' EXIT
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' | sed 's|\./|/|' > "$listing"
files=$(awk '$1 !~ /^d/ { print $3 }' "$listing" | sort)
# The package holds what an installation into /usr holds, the same list the install test uses.
expected=$(bash "$(dirname "$0")/../tests/install/installed_files.sh" "$id" ON | sed 's|^|/usr/|' | sort)
if [ "$files" != "$expected" ]; then
    fail "the package's files differ from the expected ones:"
    diff <(echo "$expected") <(echo "$files") >&2 || true
fi
while read -r mode owner path; do
    [ "$owner" = root/root ] || fail "$path is owned by $owner"
    case $mode in
    d*) want=drwxr-xr-x ;;
    *) case $path in /usr/bin/*) want=-rwxr-xr-x ;; *) want=-rw-r--r-- ;; esac ;;
    esac
    [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
done < "$listing"

if command -v lintian > /dev/null; then
    # Errors and warnings fail; informational tags are shown.
    lintian --fail-on error,warning --display-info "$deb" || fail "lintian reports the package"
elif [ "${CI:-}" = true ]; then
    fail "lintian missing"
else
    echo "lintian missing: not run"
fi

[ "$failed" = 0 ] || exit 1
echo "$(basename "$deb"): $(echo "$files" | wc -l) files, Depends: $depends"

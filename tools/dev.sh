#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what the build needs, builds, then
# starts the program (run) or runs every test (test).
#   tools/dev.sh run     build and start Quillmar
#   tools/dev.sh test    build and run the whole test suite with CTest
#   tools/dev.sh sanitize [core|all]  build with AddressSanitizer and UndefinedBehaviorSanitizer and
#                    run the core tests (leaks checked) and, for all, the widget tests too
#   tools/dev.sh fuzz [SECONDS]  build the libFuzzer targets with clang and run each for SECONDS
#   tools/dev.sh format [--check]  format the sources with clang-format, or only check them
#   tools/dev.sh package  build the Debian package build-package/quillmar_VERSION_ARCH.deb and
#                    check its fields, files and what lintian says
# With CI=true every build treats compiler warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc 2>/dev/null || echo 2)
# libuchardet-dev guesses the encoding of files that neither are UTF-8 nor name their charset;
# libacl1-dev lets a save keep a file's access control list.
build_packages=(qt6-base-dev cmake g++ make fonts-dejavu-core pkg-config libuchardet-dev libacl1-dev)
# The tests check every PHP file the program writes with PHP's own syntax check; the end-to-end
# test runs the program under a virtual X server and a window manager, types and clicks with
# xdotool, reads the clipboard with xclip, finds windows with x11-utils and takes screenshots.
test_packages=(php-cli python3 xvfb xauth openbox xdotool xclip x11-utils imagemagick)
# The installed desktop entry and AppStream record are checked with the validators the desktop
# itself uses, and the manual pages rendered with man.
test_packages+=(desktop-file-utils appstream man-db groff-base)
# The save tests set and read access control lists and user attributes as a user does.
test_packages+=(acl attr)
# Building a Debian package: dpkg-shlibdeps finds the libraries, lintian checks the result.
package_packages=(dpkg-dev file lintian)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

werror=OFF
[ "${CI:-}" = true ] && werror=ON

configure_and_build() { # build dir, extra cmake arguments...
    local dir=$1; shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_WERROR=$werror "$@" > /dev/null
    cmake --build "$dir" -j"$jobs"
}

case "${1:-}" in
run)
    install_missing "${build_packages[@]}"
    configure_and_build build
    if [ -x build/app/quillmar ]; then
        exec build/app/quillmar
    fi
    exec build/cli/quillmar-cli --help
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    configure_and_build build
    ctest --test-dir build --output-on-failure -j"$jobs"
    ;;
sanitize)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    configure_and_build build-asan -DQUILLMAR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
    # Leaks are checked in the core; the widget tests run on Qt and fontconfig caches that are
    # never freed by design, so there only memory errors and undefined behaviour count.
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j"$jobs" -L core
    if [ "${2:-all}" = all ]; then
        ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -j"$jobs" -L gui
    fi
    ;;
fuzz)
    # Each target runs on a copy of its corpus, so a run adds nothing to the checkout; crash inputs
    # are kept in tests/fuzz/ (ignored by git) for minimising and adding to the corpus.
    seconds=${2:-60}
    if command -v apt-get > /dev/null; then
        install_missing "${build_packages[@]}" clang libclang-rt-14-dev
    fi
    if ! command -v clang++ > /dev/null; then
        echo "clang not found: fuzzing skipped"
        exit 0
    fi
    cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DQUILLMAR_FUZZ=ON -DQUILLMAR_GUI=OFF > /dev/null
    cmake --build build-fuzz -j"$jobs" --target quillmar_fuzzers
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    failed=()
    for corpus in tests/fuzz/corpus/*/; do
        name=$(basename "$corpus")
        target=build-fuzz/tests/fuzz/fuzz_$name
        if [ ! -x "$target" ]; then
            echo "fuzz_$name: not built, skipped"
            continue
        fi
        cp -r "$corpus" "$work/$name"
        echo "fuzz_$name: ${seconds}s"
        if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -dict="tests/fuzz/$name.dict" -artifact_prefix=tests/fuzz/ "$work/$name" > "$work/$name.log" 2>&1; then
            grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$name.log" | tail -n 1 || true
        else
            tail -n 60 "$work/$name.log"
            failed+=("fuzz_$name")
        fi
    done
    if [ ${#failed[@]} -gt 0 ]; then
        echo "Fuzzing failed: ${failed[*]}" >&2
        exit 1
    fi
    ;;
package)
    install_missing "${build_packages[@]}" "${package_packages[@]}"
    # Built as Debian builds its own packages: optimised, hardened and stripped by cpack.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DQUILLMAR_WERROR=$werror \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON > /dev/null
    cmake --build build-package -j"$jobs" --target quillmar quillmar-cli quillmar_dist_files
    rm -f build-package/quillmar_*.deb
    (cd build-package && umask 022 && cpack -G DEB > cpack.log) || { cat build-package/cpack.log; exit 1; }
    deb=$(ls build-package/quillmar_*.deb)
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-package/CMakeCache.txt)
    id=$(sed -n 's/^#define QUILLMAR_APP_ID "\(.*\)"$/\1/p' build-package/resources/quillmar_version.h)
    bash tools/check_package.sh "$deb" "$id" "$version"
    echo "Built $deb; install it with: sudo apt-get install ./$deb"
    ;;
format)
    install_missing clang-format
    exec bash tools/format.sh "${@:2}"
    ;;
*)
    echo "usage: tools/dev.sh run|test|sanitize|fuzz [SECONDS]|format [--check]|package" >&2
    exit 2
    ;;
esac

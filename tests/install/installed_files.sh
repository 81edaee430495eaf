#!/usr/bin/env bash
# Prints, sorted, every file an installation holds below its prefix: what the install test finds
# in a temporary prefix and what the Debian package holds below /usr.
#   installed_files.sh APP_ID WITH_GUI(ON|OFF)
set -euo pipefail
id=$1 gui=$2
{
    echo bin/quillmar-cli
    echo share/man/man1/quillmar-cli.1.gz
    echo share/bash-completion/completions/quillmar-cli
    echo share/doc/quillmar/copyright
    echo share/doc/quillmar/changelog.gz
    if [ "$gui" = ON ]; then
        echo bin/quillmar
        echo share/man/man1/quillmar.1.gz
        echo "share/applications/$id.desktop"
        echo "share/metainfo/$id.metainfo.xml"
        echo "share/icons/hicolor/scalable/apps/$id.svg"
        for n in 16 32 48 64 128 256; do echo "share/icons/hicolor/${n}x$n/apps/$id.png"; done
    fi
} | sort

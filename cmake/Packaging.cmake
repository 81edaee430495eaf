# cpack -G DEB: one package with both programs. Its library dependencies are read off the
# binaries by dpkg-shlibdeps; what the binaries only load at run time is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmar)
set(CPACK_PACKAGE_VENDOR Pellovant)
set(CPACK_PACKAGE_CONTACT "Quillmar developers <quillmar@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "translation editor for PHP language files")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# CPack prefixes each line with the blank the control file needs and turns an empty line into " .".
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmar edits the translations of the language files of PHP web
applications. It opens the English language file and an existing
translation, shows every phrase coloured by its state, checks each
translation against its original and saves the translation rebuilt
line by line from the English file, keeping every unedited byte.

The package also holds quillmar-cli, which lists, merges, searches and
checks language files from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmar.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt loads the Wayland platform and the SVG icon engine as plugins, which dpkg-shlibdeps cannot
# see; without them the program still runs under X11 and draws its own PNG images.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libqt6svg6")
include(CPack)

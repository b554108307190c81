# `cpack -G DEB` in the build folder: a Debian package of what `cmake --install` installs,
# under /usr. Its Depends line is worked out by dpkg-shlibdeps from the libraries the two
# programs link, so it follows whatever Qt, libdeflate and libgettextpo the build used.
set(CLASSLINGO_PACKAGE_MAINTAINER "classlingo developers <classlingo@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME classlingo)
set(CPACK_PACKAGE_VENDOR "classlingo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "translate the strings in compiled Java programs")
# Lines of at most 80 characters, none starting with a dot, as Debian wants them.
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for translators who localise compiled Java programs, typically
into Chinese. It lists the UTF-8 strings stored in a class file or a binary
language pack and patches the one a new text is typed for in place, keeping
the old file as a .bak copy. Whole programs (JARs, folders of classes) are
translated through gettext PO catalogues. The user interface is Chinese. The
package holds the Qt program classlingo and the command-line companion
classlingo-cli.")
# Binaries built with debugging information are stripped as they go into the package.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CLASSLINGO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows are in Chinese: without a CJK font their texts are boxes, and Qt's own buttons
# and file dialogs speak Chinese only with Qt's translations.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "default-jre-headless")

include(CPack)

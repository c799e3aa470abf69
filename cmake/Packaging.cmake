# SPDX-License-Identifier: MIT
# Installing and packaging. An installed calyxor finds its skins and module in
# ../share/calyxor/ from its bin folder and keeps the user's settings in
# $XDG_CONFIG_HOME/calyxor/, so the layout below is the one the program looks for.
#
#   cmake --install build --prefix ~/.local      a user's own copy
#   (cd build && cpack -G DEB)                   calyxor_VERSION-1_amd64.deb

include(GNUInstallDirs)

set(CALYXOR_APP_ID io.github.calyxor.Calyxor)
set(CALYXOR_DATA_DEST ${CMAKE_INSTALL_DATADIR}/calyxor)
# Debian names the documentation folder after the package, in small letters.
set(CALYXOR_DOC_DEST ${CMAKE_INSTALL_DATADIR}/doc/calyxor)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS calyxor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET calyxor-cli)
  install(TARGETS calyxor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/Skins/ DESTINATION ${CALYXOR_DATA_DEST}/Skins
        PATTERN make-skins.sh EXCLUDE PATTERN .keep EXCLUDE)
# The modules are built into the build folder's SFX/; the Windows one only where its
# cross compiler is present.
install(FILES ${CMAKE_BINARY_DIR}/SFX/default.sfx DESTINATION ${CALYXOR_DATA_DEST}/SFX)
install(FILES ${CMAKE_BINARY_DIR}/SFX/windows.sfx DESTINATION ${CALYXOR_DATA_DEST}/SFX OPTIONAL)

install(FILES ${PROJECT_SOURCE_DIR}/data/${CALYXOR_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${CALYXOR_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/calyxor-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${CALYXOR_APP_ID}.xml)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
# The file managers' Encrypt and Decrypt entries, each where that file manager reads them for
# every user: Dolphin's service menus, Nemo's actions, Nautilus's Python extensions.
set(_fm ${PROJECT_SOURCE_DIR}/data/filemanagers)
install(FILES ${_fm}/calyxor-encrypt.desktop ${_fm}/calyxor-decrypt.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kio/servicemenus)
install(FILES ${_fm}/calyxor-encrypt.nemo_action ${_fm}/calyxor-decrypt.nemo_action
        DESTINATION ${CMAKE_INSTALL_DATADIR}/nemo/actions)
install(FILES ${_fm}/calyxor-nautilus.py
        DESTINATION ${CMAKE_INSTALL_DATADIR}/nautilus-python/extensions RENAME calyxor.py)

# The shells' completions, each where that shell looks for the system's own.
set(_completion ${PROJECT_SOURCE_DIR}/data/completion)
install(FILES ${_completion}/calyxor-cli ${_completion}/calyxor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${_completion}/_calyxor-cli ${_completion}/_calyxor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${_completion}/calyxor-cli.fish ${_completion}/calyxor.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# Manual pages go in compressed, as Debian wants them; each is there once its page is built.
install(CODE "
  foreach(page calyxor.1 calyxor-cli.1)
    set(src \"${CMAKE_BINARY_DIR}/man/\${page}\")
    if(EXISTS \"\${src}\")
      execute_process(COMMAND gzip -9nc \"\${src}\" OUTPUT_FILE \"\${src}.gz\")
      file(INSTALL \"\${src}.gz\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\")
    endif()
  endforeach()")

# The copyright file and the compressed changelog every Debian package carries.
set(_changelog_gz ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/data/changelog.Debian)
execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/changelog.Debian
                OUTPUT_FILE ${_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${_changelog_gz}
        DESTINATION ${CALYXOR_DOC_DEST})
# The self-extracting module is data to the program, copied ahead of every self-extracting
# file, and static so that those files run anywhere: lintian is told so.
install(FILES ${PROJECT_SOURCE_DIR}/data/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME calyxor)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calyxor)
set(CPACK_PACKAGE_VENDOR "The Calyxor developers")
set(CPACK_PACKAGE_CONTACT "The Calyxor developers <calyxor@users.noreply.github.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "encrypt, decrypt and wipe files with a password")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/calyxor/calyxor)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Calyxor is a small skinned window that encrypts and decrypts single files
with a password, turns an encrypted file into a self-extracting program that
restores it without Calyxor, and wipes files by overwriting them before
deleting them. A command line encrypts and decrypts without a window.")
# Libraries come from the binaries; what they load at run time does not show there: the X
# platform plugin that opens the window, and the fonts the skins are laid out for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
# Qt's own texts (the file dialog's) in the user's language; the window works without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)

# Builds the package, installs it with apt, runs it as a user, removes it. Needs root. Only
# the builds that could ship do it: a sanitizer build's programs are never packaged, and their
# leak checker would judge the desktop's own libraries on a real display.
if(NOT CALYXOR_SANITIZE AND NOT CALYXOR_TSAN)
  add_test(NAME package_deb
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package-test.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 900 SKIP_RETURN_CODE 77)
endif()

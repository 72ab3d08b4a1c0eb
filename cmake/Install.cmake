# What `cmake --install` puts under the prefix, following the freedesktop.org layout, and the
# Debian package CPack makes of it. Included from the top CMakeLists.txt after the programs.
include(GNUInstallDirs)

set(TANDREL_APP_ID example.halvory.Tandrel)

# Manual pages are installed compressed, as Debian does (gzip -9n: no name and no time stored,
# so the same page always gives the same bytes).
function(tandrel_man_page page)
  set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                     COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh
                             ${PROJECT_SOURCE_DIR}/man/${page} ${out}
                     DEPENDS ${PROJECT_SOURCE_DIR}/man/${page} VERBATIM)
  add_custom_target(man_${page} ALL DEPENDS ${out})
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The package's copyright notice and changelog, where Debian's policy puts them (the changelog
# compressed the same way as the manual pages).
set(changelog_gz ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
                   COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh
                           ${PROJECT_SOURCE_DIR}/data/debian/changelog ${changelog_gz}
                   DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog_gz})
install(FILES data/debian/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tandrel)

install(TARGETS tandrel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
tandrel_man_page(tandrel-cli.1)
install(FILES data/tandrel-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tandrel-cli)

if(TANDREL_GUI)
  install(TARGETS tandrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  tandrel_man_page(tandrel.1)
  install(FILES data/${TANDREL_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/${TANDREL_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The icon of each size, drawn by tandrel-icons at build time.
  add_subdirectory(tools/tandrel-icons)
  set(icon_dir ${CMAKE_BINARY_DIR}/icons/hicolor)
  set(icon_files)
  foreach(size 16 24 32 48 64 128 256)
    list(APPEND icon_files ${icon_dir}/${size}x${size}/apps/${TANDREL_APP_ID}.png)
  endforeach()
  add_custom_command(OUTPUT ${icon_files}
                     COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                             $<TARGET_FILE:tandrel-icons> ${icon_dir}
                     DEPENDS tandrel-icons
                     COMMENT "Drawing the program's icons")
  add_custom_target(tandrel_icons ALL DEPENDS ${icon_files})
  install(DIRECTORY ${icon_dir} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tandrel)
set(CPACK_PACKAGE_VENDOR Halvory)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keeps a copy of a directory tree up to date")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvory <tandrel@halvory.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.halvory.example/tandrel/")
# The long description; CPack puts the summary above it and indents each line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tandrel copies each file the destination lacks or holds older, creates missing
directories, and keeps, deletes or moves into a recycle directory what the
destination has that the source no longer has. It has a Qt desktop window for
named jobs and a command-line runner, tandrel-cli, for scripts.")
include(CPack)

# Installs into a temporary folder, builds the package, and checks both.
if(TANDREL_GUI AND NOT TANDREL_SANITIZE AND NOT TANDREL_TSAN)
  add_test(NAME install_test
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR}
                   ${PROJECT_VERSION})
endif()

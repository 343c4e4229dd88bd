# Installation and packages. On Linux: `make package` (CPack DEB) builds the
# package aktarim (the desktop program, aktarim-cli, desktop entry, icon,
# --help texts, an example systemd timer) and terminal-sim in a package of
# its own. On Windows: the program folder as a zip (cpack -G ZIP), with the
# Qt run-time beside aktarim.exe when the desktop program is built.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME aktarim)
set(CPACK_PACKAGE_VENDOR "Aktarım")
set(CPACK_PACKAGE_CONTACT "Aktarım <aktarim@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Parmak izi cihazlarından kayıt aktarımı")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # One flat folder: the programs beside cihazlar.ini, as their users keep them.
  install(TARGETS aktarim-cli RUNTIME DESTINATION . COMPONENT aktarim)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT aktarim)
  if(AKTARIM_GUI)
    install(TARGETS aktarim RUNTIME DESTINATION . COMPONENT aktarim)
    # windeployqt copies the Qt libraries and plug-ins the program needs next
    # to it: at install time into the package, or `cmake --build . --target
    # deploy` into the build folder to start it from there.
    get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
    get_filename_component(qtBin "${qmake}" DIRECTORY)
    find_program(WINDEPLOYQT windeployqt HINTS "${qtBin}" REQUIRED)
    install(CODE "execute_process(COMMAND \"${WINDEPLOYQT}\" --release --no-translations
                    --compiler-runtime \"\${CMAKE_INSTALL_PREFIX}/aktarim.exe\"
                    COMMAND_ERROR_IS_FATAL ANY)" COMPONENT aktarim)
    add_custom_target(deploy
      COMMAND "${WINDEPLOYQT}" --release --no-translations --compiler-runtime $<TARGET_FILE:aktarim>
      DEPENDS aktarim
      COMMENT "Copying the Qt run-time beside aktarim.exe")
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME aktarim-cli-${PROJECT_VERSION}-windows-x64)
  if(AKTARIM_GUI)
    set(CPACK_PACKAGE_FILE_NAME aktarim-${PROJECT_VERSION}-windows-x64)
  endif()
  include(CPack)
  return()
endif()

install(TARGETS aktarim-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT aktarim)
if(AKTARIM_GUI)
  install(TARGETS aktarim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT aktarim)
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/aktarim-user
          DESTINATION lib/aktarim COMPONENT aktarim)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/aktarim.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT aktarim)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/transfer.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME aktarim.svg COMPONENT aktarim)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/aktarim-transfer.service
              ${PROJECT_SOURCE_DIR}/packaging/aktarim-transfer.timer
        DESTINATION lib/systemd/system COMPONENT aktarim)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/protocol.md
              ${PROJECT_SOURCE_DIR}/docs/reliability.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/aktarim COMPONENT aktarim)

# The --help texts, written by the programs themselves at build time.
set(helpDir ${CMAKE_BINARY_DIR}/help)
add_custom_command(OUTPUT ${helpDir}/aktarim-cli.txt
  COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:aktarim-cli> -DSUBCOMMANDS=devices,test,transfer,clock
          -DOUTPUT=${helpDir}/aktarim-cli.txt -P ${PROJECT_SOURCE_DIR}/packaging/HelpText.cmake
  DEPENDS aktarim-cli ${PROJECT_SOURCE_DIR}/packaging/HelpText.cmake VERBATIM)
set(helpFiles ${helpDir}/aktarim-cli.txt)
if(AKTARIM_SIM)
  add_custom_command(OUTPUT ${helpDir}/terminal-sim.txt
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:terminal-sim> -DSUBCOMMANDS=dump
            -DOUTPUT=${helpDir}/terminal-sim.txt -P ${PROJECT_SOURCE_DIR}/packaging/HelpText.cmake
    DEPENDS terminal-sim ${PROJECT_SOURCE_DIR}/packaging/HelpText.cmake VERBATIM)
  list(APPEND helpFiles ${helpDir}/terminal-sim.txt)
  install(TARGETS terminal-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT sim)
  install(FILES ${helpDir}/terminal-sim.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/terminal-sim
          COMPONENT sim)
endif()
add_custom_target(help_texts ALL DEPENDS ${helpFiles})
install(FILES ${helpDir}/aktarim-cli.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/aktarim COMPONENT aktarim)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL aktarim)
if(AKTARIM_SIM)
  list(APPEND CPACK_COMPONENTS_ALL sim)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_AKTARIM_PACKAGE_NAME aktarim)
set(CPACK_DEBIAN_AKTARIM_DESCRIPTION
    "Parmak izi cihazlarından kayıt aktarımı\n aktarim (masaüstü programı) ve aktarim-cli (zamanlanmış aktarımlar için).")
set(CPACK_DEBIAN_SIM_PACKAGE_NAME terminal-sim)
set(CPACK_DEBIAN_SIM_DESCRIPTION
    "Simulated attendance terminal for Aktarım\n Speaks Aktarım's wire protocol over TCP and a pseudo-terminal, state in SQLite.")
include(CPack)

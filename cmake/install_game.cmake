# Installs the game the way desktop games are laid out: the executable with its two media files in
# <libexecdir>/oomori (the game opens them beside itself), a launcher `oomori` on PATH that runs it in
# the player's data directory, the menu entry, the icons of the hicolor theme and the AppStream data.
include(GNUInstallDirs)

# The reverse-DNS id that AppStream asks for names the menu entry, the metadata and the icon; the
# project has no domain of its own yet, so it takes the form used for hosted projects.
set(OOMORI_APP_ID io.github.oomori.Oomori)
set(OOMORI_GAME_DIR ${CMAKE_INSTALL_LIBEXECDIR}/oomori)

# The launcher finds the game relative to itself; both directories are taken relative to the prefix.
foreach(dir CMAKE_INSTALL_BINDIR OOMORI_GAME_DIR)
  if(IS_ABSOLUTE "${${dir}}")
    message(FATAL_ERROR "${dir} must be relative to the install prefix (is ${${dir}})")
  endif()
endforeach()
file(RELATIVE_PATH OOMORI_GAME_FROM_BIN /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${OOMORI_GAME_DIR})
configure_file(${CMAKE_SOURCE_DIR}/packaging/oomori.in ${CMAKE_BINARY_DIR}/packaging/oomori @ONLY)

install(TARGETS oomori RUNTIME DESTINATION ${OOMORI_GAME_DIR} COMPONENT game)
install(FILES ${PROGDIR_FILES} DESTINATION ${OOMORI_GAME_DIR} COMPONENT game)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/oomori DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT game)
install(FILES packaging/${OOMORI_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT game)
install(FILES packaging/${OOMORI_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT game)
foreach(size 64 128 256)
  install(FILES packaging/icons/oomori-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${OOMORI_APP_ID}.png COMPONENT game)
endforeach()

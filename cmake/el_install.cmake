# Installs the library for other programs: public headers, the static libraries, a pkg-config file
# and a CMake package. Included from the top-level CMakeLists.txt after the library targets exist.
#
# Layout under the prefix (kept so that an installed program spells its includes as this repository does):
#   include/el/el/elSystem.h ...       the five module headers and what they include
#   include/el/platform/host.h ...     the window and clock services a program's main loop calls
#   include/el/platform/headless/...   the headless host's test controls (with surface.h and input.h)
#   lib/libel.a libelplatform.a        the library and its platform layer
#   lib/libelhost_sdl.a                the real host: window, display, audio device, input (SDL2)
#   lib/libelhost_headless.a           the test host: fake clock, scripted input, captured frames and audio
#   lib/libelresources_none.a          the empty resource table
#   lib/pkgconfig/el.pc, el-headless.pc
#   lib/cmake/el/elConfig.cmake        targets el::el (SDL host) and el::headless
#
# Both package files carry -fexec-charset=CP932 for C++ rather than only documenting it: the text
# interface takes code page 932, and a program built without the flag hands it UTF-8 bytes without any
# error; its Japanese then comes out garbled and the text boxes' lead-byte and line-breaking tests
# misfire. With the flag the right thing is the default; u8"..." literals stay UTF-8 where a program
# needs them. (GCC's flag; Clang has no CP932 execution character set.)
include(GNUInstallDirs)

set(EL_VERSION 0.1.0)
set(EL_INCLUDE_SUBDIR el)

# A program that embeds no resources links this empty table: its pictures, sounds and MIDI pieces come
# from files, and resource lookups find nothing. The game links its generated table instead. It is a
# library of its own, not a member of elplatform, so the choice is made at link time like the host's: an
# archive member is pulled in only while the symbols are still undefined, so a program that defines its
# own plat::kResourceTable keeps it.
set(EL_NO_RESOURCES_MANIFEST ${CMAKE_BINARY_DIR}/generated/no_resources.txt)
file(CONFIGURE OUTPUT ${EL_NO_RESOURCES_MANIFEST} CONTENT "# no resources\n")
oomori_embed_resources(${EL_NO_RESOURCES_MANIFEST} ${CMAKE_BINARY_DIR}/generated/no_resources.cpp)
add_library(elresources_none STATIC ${CMAKE_BINARY_DIR}/generated/no_resources.cpp)

set(EL_PUBLIC_HEADERS
    el/elSystem.h el/elDraw.h el/elSound.h el/elMusic.h el/elStream.h
    el/system/state.h el/system/input.h
    platform/host.h platform/clock.h platform/resources.h
    platform/surface.h platform/input.h
    platform/headless/headless.h platform/headless/display_headless.h
    platform/headless/headless_audio.h platform/headless/headless_input.h)
foreach(h ${EL_PUBLIC_HEADERS})
  get_filename_component(dir ${h} DIRECTORY)
  install(FILES ${h} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${EL_INCLUDE_SUBDIR}/${dir} COMPONENT el)
endforeach()

install(TARGETS el elplatform elhost_sdl elhost_headless elresources_none
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT el)

# The link line, shared by both package files. The platform layer and a host call each other, so the
# archives are linked as one group; the system libraries follow. Only static archives are built, so every
# link needs the system libraries: the pkg-config files list them under Requires, not Requires.private,
# and a plain `pkg-config --libs el` links.
# The .pc files find the prefix from their own place, so an installed tree can be moved.
file(RELATIVE_PATH EL_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
string(REGEX REPLACE "/$" "" EL_PC_TO_PREFIX "${EL_PC_TO_PREFIX}")
set(EL_PC_REQUIRES_COMMON "freetype2 fontconfig fluidsynth libavformat libavcodec libswscale libswresample libavutil cairo")
set(EL_PC_FILES el:elhost_sdl:sdl2 el-headless:elhost_headless:)
foreach(pc ${EL_PC_FILES})
  string(REPLACE ":" ";" f "${pc}")
  list(GET f 0 EL_PC_NAME)
  list(GET f 1 EL_PC_HOST)
  list(LENGTH f n)
  set(EL_PC_REQUIRES "${EL_PC_REQUIRES_COMMON}")
  if(n GREATER 2)
    list(GET f 2 extra)
    if(extra)
      set(EL_PC_REQUIRES "${extra} ${EL_PC_REQUIRES}")
    endif()
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/el.pc.in ${CMAKE_BINARY_DIR}/pkgconfig/${EL_PC_NAME}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${EL_PC_NAME}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
          COMPONENT el)
endforeach()

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/elConfig.cmake.in ${CMAKE_BINARY_DIR}/cmake/elConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/el
                              PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/elConfigVersion.cmake VERSION ${EL_VERSION}
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake/elConfig.cmake ${CMAKE_BINARY_DIR}/cmake/elConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/el COMPONENT el)

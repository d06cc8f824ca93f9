# Install layout:
#   bin/kpl-filetype                 command-line host
#   include/kpl_engine.h             public C header
#   include/kpl_engine_config.h      C++ host objects of the configuration services
#   lib/kpl-engine/                  the engine home: kpl_engine.so, libTrIDLib.so,
#                                    7za, database/magic, database/trid
#   lib/pkgconfig/kpl_engine.pc
#   lib/cmake/KplEngine/             find_package(KplEngine) files
#   share/man/man1/kpl-filetype.1
# Every path written into the package files is relative to where they are
# installed, so a DESTDIR or package root can be moved as a whole.
include(CMakePackageConfigHelpers)

# An installed home links libmagic's compiled database and p7zip's program
# instead of copying them: the database must match the libmagic the system
# loads, which a copy made at build time stops doing after an upgrade. The
# build tree's home keeps copies (tests change the program's mode there).
option(KPL_INSTALL_LINK_SYSTEM_FILES "Installed home links the system's magic.mgc and 7za" ON)

set(KPL_INSTALL_HOME ${CMAKE_INSTALL_LIBDIR}/kpl-engine)
install(TARGETS kpl_engine LIBRARY DESTINATION ${KPL_INSTALL_HOME})
install(TARGETS TrIDLib LIBRARY DESTINATION ${KPL_INSTALL_HOME})
install(FILES ${KPL_TRID_DEFS} DESTINATION ${KPL_INSTALL_HOME}/database/trid)
if(KPL_INSTALL_LINK_SYSTEM_FILES)
  install(CODE "
    set(home \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${KPL_INSTALL_HOME}\")
    file(MAKE_DIRECTORY \"\${home}/database/magic\")
    message(STATUS \"Linking: \${home}/database/magic/magic.mgc -> ${KPL_MAGIC_MGC}\")
    file(CREATE_LINK \"${KPL_MAGIC_MGC}\" \"\${home}/database/magic/magic.mgc\" SYMBOLIC)
    message(STATUS \"Linking: \${home}/7za -> ${KPL_7ZA_PROGRAM}\")
    file(CREATE_LINK \"${KPL_7ZA_PROGRAM}\" \"\${home}/7za\" SYMBOLIC)")
else()
  install(FILES ${KPL_MAGIC_MGC} DESTINATION ${KPL_INSTALL_HOME}/database/magic)
  install(PROGRAMS ${KPL_7ZA_PROGRAM} DESTINATION ${KPL_INSTALL_HOME})
endif()
install(FILES include/kpl_engine.h include/kpl_engine_config.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kpl-filetype RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES tools/kpl-filetype.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# lib/pkgconfig -> ../.., lib/x86_64-linux-gnu/pkgconfig -> ../../..
string(REGEX REPLACE "[^/]+" ".." KPL_PC_PREFIX_FROM_PCDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
configure_file(cmake/kpl_engine.pc.in ${CMAKE_BINARY_DIR}/kpl_engine.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kpl_engine.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(KPL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KplEngine)
configure_package_config_file(cmake/KplEngineConfig.cmake.in ${CMAKE_BINARY_DIR}/KplEngineConfig.cmake
  INSTALL_DESTINATION ${KPL_CMAKE_DIR}
  PATH_VARS CMAKE_INSTALL_INCLUDEDIR CMAKE_INSTALL_BINDIR KPL_INSTALL_HOME)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KplEngineConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KplEngineConfig.cmake ${CMAKE_BINARY_DIR}/KplEngineConfigVersion.cmake
        DESTINATION ${KPL_CMAKE_DIR})

include(cmake/KplPackage.cmake)

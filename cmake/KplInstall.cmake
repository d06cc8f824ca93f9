# Install layout:
#   bin/kpl-filetype                 command-line host
#   include/kpl_engine.h             public C header
#   include/kpl_engine_config.h      C++ host objects of the configuration services
#   lib/kpl-engine/                  the engine home: kpl_engine.so, libTrIDLib.so,
#                                    7za, database/magic, database/trid
#   lib/pkgconfig/kpl_engine.pc
set(KPL_INSTALL_HOME ${CMAKE_INSTALL_LIBDIR}/kpl-engine)
install(TARGETS kpl_engine LIBRARY DESTINATION ${KPL_INSTALL_HOME})
install(TARGETS TrIDLib LIBRARY DESTINATION ${KPL_INSTALL_HOME})
install(FILES ${KPL_MAGIC_MGC} DESTINATION ${KPL_INSTALL_HOME}/database/magic)
install(FILES ${KPL_TRID_DEFS} DESTINATION ${KPL_INSTALL_HOME}/database/trid)
install(PROGRAMS ${KPL_7ZA_PROGRAM} DESTINATION ${KPL_INSTALL_HOME})
install(FILES include/kpl_engine.h include/kpl_engine_config.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kpl-filetype RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(cmake/kpl_engine.pc.in ${CMAKE_BINARY_DIR}/kpl_engine.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kpl_engine.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

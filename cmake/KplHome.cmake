# Assembles ${KPL_HOME_DIR}: the magic database, the signature library with
# its definitions, the extraction program and the engine itself. Copies, not
# links: init changes the mode of "7za", and through a link it would change
# the system's program.
set(KPL_MAGIC_MGC /usr/lib/file/magic.mgc CACHE FILEPATH "Compiled libmagic database")
set(KPL_7ZA_PROGRAM /usr/lib/p7zip/7za CACHE FILEPATH "7za program copied into the engine home")
foreach(f KPL_MAGIC_MGC KPL_7ZA_PROGRAM)
  if(NOT EXISTS ${${f}})
    message(FATAL_ERROR "${f} not found at ${${f}}")
  endif()
endforeach()

file(GLOB KPL_TRID_DEFS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tridlib/defs/*.trd)
add_custom_target(engine_home ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KPL_HOME_DIR}/database/magic
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KPL_MAGIC_MGC} ${KPL_HOME_DIR}/database/magic/magic.mgc
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${KPL_7ZA_PROGRAM} ${KPL_HOME_DIR}/7za
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${KPL_HOME_DIR}/database/trid
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/tridlib/defs ${KPL_HOME_DIR}/database/trid
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:TrIDLib> ${KPL_HOME_DIR}/libTrIDLib.so
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kpl_engine> ${KPL_HOME_DIR}/kpl_engine.so
  DEPENDS TrIDLib kpl_engine ${KPL_TRID_DEFS}
  COMMENT "Assembling the engine home in ${KPL_HOME_DIR}"
  VERBATIM)

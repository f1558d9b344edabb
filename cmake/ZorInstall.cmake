# Install layout under the prefix:
#   lib/libZorCompCore.so*, lib/libZorCompCoreHtmlEditor.so* (with Qt WebEngine),
#   lib/cmake/ZorCompCore/ (find_package), lib/pkgconfig/ZorCompCore.pc
#   include/ZorCompCore/<folder>/<Unit>.h (public headers only) and zor_export.h
#   bin/zorcc, finding the library as ../lib from wherever the prefix is
#   share/ZorCompCore/glossary/ and scripts/ (samples), share/doc/ZorCompCore/ (licence)
include(CMakePackageConfigHelpers)
install(TARGETS ZorCompCore EXPORT ZorCompCoreTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY src/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZorCompCore
        FILES_MATCHING PATTERN "*.h" PATTERN "*_p.h" EXCLUDE)
install(FILES ${ZOR_INCLUDE_DIR}/ZorCompCore/zor_export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZorCompCore)
# The HTML editor's own library (ZorCompCore::HtmlEditor), where Qt WebEngine
# was found; it finds libZorCompCore beside itself.
if(TARGET ZorCompCoreHtmlEditor)
  install(TARGETS ZorCompCoreHtmlEditor EXPORT ZorCompCoreTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  set_target_properties(ZorCompCoreHtmlEditor PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(FILES ${ZOR_INCLUDE_DIR}/ZorCompCore/zor_htmleditor_export.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZorCompCore)
endif()

# The Qt modules and other packages the public headers need: what the library
# links publicly, so that the package config and the .pc file follow new folders.
get_target_property(zor_public_libs ZorCompCore INTERFACE_LINK_LIBRARIES)
set(ZOR_QT_COMPONENTS "")
set(ZOR_PC_REQUIRES "")
set(ZOR_FIND_OTHERS "")
foreach(l IN LISTS zor_public_libs)
  if(l MATCHES "^Qt6::(.+)$")
    list(APPEND ZOR_QT_COMPONENTS ${CMAKE_MATCH_1})
    list(APPEND ZOR_PC_REQUIRES Qt6${CMAKE_MATCH_1})
  elseif(l MATCHES "^nlohmann_json::")
    set(ZOR_FIND_OTHERS "find_dependency(nlohmann_json 3)")
    list(APPEND ZOR_PC_REQUIRES nlohmann_json)
  endif()
endforeach()
list(REMOVE_DUPLICATES ZOR_QT_COMPONENTS)
list(REMOVE_DUPLICATES ZOR_PC_REQUIRES)
list(JOIN ZOR_QT_COMPONENTS " " ZOR_QT_COMPONENTS)
list(JOIN ZOR_PC_REQUIRES " " ZOR_PC_REQUIRES)

install(EXPORT ZorCompCoreTargets NAMESPACE ZorCompCore::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZorCompCore)
configure_package_config_file(cmake/ZorCompCoreConfig.cmake.in
    ${PROJECT_BINARY_DIR}/ZorCompCoreConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZorCompCore)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZorCompCoreConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZorCompCoreConfig.cmake
              ${PROJECT_BINARY_DIR}/ZorCompCoreConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZorCompCore)

# pkg-config: paths relative to the .pc file, so that a prefix can be moved.
file(RELATIVE_PATH ZOR_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZOR_PC_TO_PREFIX "${ZOR_PC_TO_PREFIX}")
configure_file(cmake/ZorCompCore.pc.in ${PROJECT_BINARY_DIR}/ZorCompCore.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ZorCompCore.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Programs find the library relative to themselves, so a prefix outside the
# system's library path works without LD_LIBRARY_PATH.
file(RELATIVE_PATH zor_bin_to_lib ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
foreach(program IN ITEMS zorcc gallery)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${zor_bin_to_lib}")
  endif()
endforeach()

# Sample glossaries and scripts, for the guides and for trying zorcc.
install(DIRECTORY examples/data/glossary examples/scripts
        DESTINATION ${CMAKE_INSTALL_DATADIR}/ZorCompCore)
file(GLOB zor_licence_files ${PROJECT_SOURCE_DIR}/LICENSE* ${PROJECT_SOURCE_DIR}/COPYING*)
if(zor_licence_files)
  install(FILES ${zor_licence_files} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

include(CMakePackageConfigHelpers)
install(TARGETS ZorCompCore EXPORT ZorCompCoreTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY src/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZorCompCore
        FILES_MATCHING PATTERN "*.h" PATTERN "*_p.h" EXCLUDE)
install(FILES ${ZOR_INCLUDE_DIR}/ZorCompCore/zor_export.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ZorCompCore)
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

# True when the folder (platform, core, script …) takes part in this build.
function(zor_folder_enabled folder out)
  if(NOT ZOR_ONLY OR folder STREQUAL "package" OR folder IN_LIST ZOR_ONLY)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# One OBJECT library per source folder; all of them end up in libZorCompCore.so.
# Sources are collected from the folder (and the sub-folders given), so adding a
# unit is adding its file pair.
function(zor_add_module name)
  cmake_parse_arguments(ARG "" "" "SUBDIRS;PUBLIC_LIBS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT sources)
    return() # folder without units yet
  endif()
  add_library(${name} OBJECT ${sources} ${headers})
  # Objects are linked into the shared library: mark them as its own so that
  # ZOR_EXPORT means "export" while they compile.
  target_compile_definitions(${name} PRIVATE ZorCompCore_EXPORTS)
  target_include_directories(${name} PUBLIC $<BUILD_INTERFACE:${ZOR_INCLUDE_DIR}>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS})
  set_property(GLOBAL APPEND PROPERTY ZOR_MODULES ${name})
endfunction()

# A test executable per test source file, discovered by ctest. DEFINITIONS are
# added to each test's compile definitions; DEPENDS are targets built first
# (a program the tests start, for instance). Tests named in LIST_AT_TEST_TIME
# list their cases when ctest runs, for suites that find their cases in files.
function(zor_add_tests subsystem)
  cmake_parse_arguments(ARG "" "" "LIBS;DEFINITIONS;DEPENDS;LIST_AT_TEST_TIME" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
  foreach(src IN LISTS tests)
    get_filename_component(base ${src} NAME_WE)
    set(target ${subsystem}_${base})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ZorCompCore zor_testmain GTest::gtest ${ARG_LIBS})
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${target} PRIVATE
        ZOR_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
        ZOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}" ${ARG_DEFINITIONS})
    if(ARG_DEPENDS)
      add_dependencies(${target} ${ARG_DEPENDS})
    endif()
    set(mode POST_BUILD)
    if(base IN_LIST ARG_LIST_AT_TEST_TIME)
      set(mode PRE_TEST)
    endif()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE ${mode}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS ${subsystem})
  endforeach()
endfunction()

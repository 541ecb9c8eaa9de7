# heatlume_module(NAME DIR [SOURCES extra...] [EXCLUDE file...] [DEPS targets...])
# A module is the sources of one folder as a static library. Folders are kept
# separate so that a change in one part of the tree rebuilds (and can break)
# only that part and what sits above it.
function(heatlume_module name dir)
  cmake_parse_arguments(M "" "" "SOURCES;EXCLUDE;DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  foreach(ex IN LISTS M_EXCLUDE)
    list(REMOVE_ITEM srcs ${CMAKE_SOURCE_DIR}/${dir}/${ex})
  endforeach()
  list(APPEND srcs ${M_SOURCES})
  set(compiled ${srcs})
  list(FILTER compiled INCLUDE REGEX "\\.(c|cpp)$")
  if(compiled)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${M_DEPS})
  else()
    # Nothing to compile yet: the module is its dependencies.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${M_DEPS})
  endif()
endfunction()

# heatlume_test(NAME DIR DEPS targets...): the tests of one folder as one program
# under ctest. Widget tests run on the offscreen platform.
function(heatlume_test name dir)
  cmake_parse_arguments(T "" "TIMEOUT" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${T_DEPS} hl_testsupport GTest::gtest GTest::gmock)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    # An emulated processor is several times slower (see HEATLUME_TEST_TIME_SCALE).
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 5")
  endif()
  # A test that skips itself is reported by ctest as not run, never as passed.
  gtest_discover_tests(${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${T_TIMEOUT}
               SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    DISCOVERY_TIMEOUT 300)
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt: tests,
# benchmarks and tools each keep their own programs next to their sources.
function(heatlume_add_subfolders)
  file(GLOB dirs CONFIGURE_DEPENDS LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(d IN LISTS dirs)
    if(IS_DIRECTORY ${d} AND EXISTS ${d}/CMakeLists.txt)
      add_subdirectory(${d})
    endif()
  endforeach()
endfunction()

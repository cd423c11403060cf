# Common settings for every target built from our own sources.
function(corvantis_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # At -O3, g++ 12 reports overlaps inside libstdc++'s own string concatenation (GCC bug 105651)
  # and unset members while std::variant moves its storage; both are false. The default
  # RelWithDebInfo build keeps both warnings.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-Wno-restrict -Wno-maybe-uninitialized>)
  endif()
  if(CORVANTIS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Every C++ source below the given folders, found again whenever a file is added.
function(corvantis_sources_below variable)
  set(sources)
  foreach(folder ${ARGN})
    get_filename_component(folder ${folder} ABSOLUTE)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()

# A static library made of every source below the given folders and the given FILES, except those
# below the EXCLUDE folders (libraries of their own) and the EXCLUDE_FILES.
function(corvantis_library target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;EXCLUDE;FILES;EXCLUDE_FILES" ${ARGN})
  corvantis_sources_below(sources ${ARG_FOLDERS})
  list(APPEND sources ${ARG_FILES})
  foreach(excluded ${ARG_EXCLUDE})
    corvantis_sources_below(excluded_sources ${excluded})
    list(APPEND ARG_EXCLUDE_FILES ${excluded_sources})
  endforeach()
  if(ARG_EXCLUDE_FILES)
    list(REMOVE_ITEM sources ${ARG_EXCLUDE_FILES})
  endif()
  add_library(${target} STATIC ${sources})
  corvantis_target_defaults(${target})
endfunction()

# The sources a layer table entry owns: whole folders, or files matched by globs.
function(corvantis_owned_sources variable folder)
  set(sources)
  foreach(path ${ARGN})
    if(IS_DIRECTORY ${folder}/${path})
      corvantis_sources_below(found ${folder}/${path})
    else()
      file(GLOB found CONFIGURE_DEPENDS ${folder}/${path})
      list(FILTER found INCLUDE REGEX "\\.cpp$")
    endif()
    list(APPEND sources ${found})
  endforeach()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()

# One static library `<prefix>NAME` per entry of a layer table (see platform/Layers.txt), made of
# the folder NAME below `folder` unless the entry says what it owns, and linked to exactly the
# entries it uses. A file that an entry owns leaves the target of the folder it sits in.
function(corvantis_layers prefix folder table)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${table})
  file(STRINGS ${table} lines REGEX "^[a-z]")
  set(names)
  foreach(line ${lines})
    separate_arguments(words UNIX_COMMAND "${line}")
    list(POP_FRONT words name kind)
    if(NOT kind MATCHES "^(uses|owns)$")
      message(FATAL_ERROR "${table}: '${line}' is neither 'NAME uses ...' nor 'NAME owns ...'")
    endif()
    list(APPEND names ${name})
    list(APPEND layer_${name}_${kind} ${words})
  endforeach()
  list(REMOVE_DUPLICATES names)

  set(claimed)
  foreach(name ${names})
    corvantis_owned_sources(layer_${name}_sources ${folder} ${layer_${name}_owns})
    list(APPEND claimed ${layer_${name}_sources})
  endforeach()
  corvantis_sources_below(unowned ${folder})
  foreach(name ${names})
    if(layer_${name}_owns)
      set(own FILES ${layer_${name}_sources})
    else()
      set(own FOLDERS ${folder}/${name})
    endif()
    set(others ${claimed})
    if(layer_${name}_sources)
      list(REMOVE_ITEM others ${layer_${name}_sources})
    endif()
    corvantis_library(${prefix}${name} ${own} EXCLUDE_FILES ${others})
    get_target_property(built ${prefix}${name} SOURCES)
    list(REMOVE_ITEM unowned ${built})
    target_include_directories(${prefix}${name} PUBLIC ${CMAKE_SOURCE_DIR})
    list(TRANSFORM layer_${name}_uses PREPEND ${prefix})
    target_link_libraries(${prefix}${name} PUBLIC ${layer_${name}_uses})
  endforeach()
  if(unowned)
    list(JOIN unowned "\n  " unowned)
    message(FATAL_ERROR "Sources that no entry of ${table} builds (a new folder needs a line there):\n  ${unowned}")
  endif()
endfunction()

# A test binary compiles the test framework and the heaviest standard headers once, into a
# precompiled header of its own, instead of once per source file. ccache reuses objects built with a
# precompiled header only when told to ignore its macros and time stamps: the build says so for
# these targets, so no one's own ccache configuration has to.
function(corvantis_test_precompiled_headers target)
  target_precompile_headers(${target} PRIVATE ${ARGN} <gtest/gtest.h> <algorithm> <chrono> <filesystem> <functional> <map>
                            <memory> <optional> <string> <thread> <vector>)
  # g++ 12 checks the standard library's inlined string copies from a precompiled header as if
  # they were our code and reports bounds it cannot see through; the same sources build clean
  # without the header.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread)
  endif()
  if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER
                          "env;CCACHE_SLOPPINESS=pch_defines,time_macros;${CMAKE_CXX_COMPILER_LAUNCHER}")
  endif()
endfunction()

# One GoogleTest binary per library, its cases registered with CTest.
function(corvantis_test target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;LIBRARIES" ${ARGN})
  corvantis_sources_below(sources ${ARG_FOLDERS})
  add_executable(${target} ${sources})
  corvantis_target_defaults(${target})
  corvantis_test_precompiled_headers(${target} <gmock/gmock.h>)
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gmock corvantis_test_main)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
endfunction()

# A test binary that runs whole inside scripts/sandbox, in network, mount and PID namespaces of its
# own, for tests that change routes and devices for real. The script exits 77 (skipped) when it
# cannot make them.
function(corvantis_sandboxed_test target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;LIBRARIES" ${ARGN})
  corvantis_sources_below(sources ${ARG_FOLDERS})
  add_executable(${target} ${sources})
  corvantis_target_defaults(${target})
  corvantis_test_precompiled_headers(${target})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} corvantis_test_main)
  add_test(NAME ${target} COMMAND ${CMAKE_SOURCE_DIR}/scripts/sandbox $<TARGET_FILE:${target}>)
  set_tests_properties(${target} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endfunction()

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

# A static library made of every source below the given folders, except those below the EXCLUDE
# folders (layers that are libraries of their own).
function(corvantis_library target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;EXCLUDE" ${ARGN})
  corvantis_sources_below(sources ${ARG_FOLDERS})
  foreach(excluded ${ARG_EXCLUDE})
    corvantis_sources_below(excluded_sources ${excluded})
    if(excluded_sources)
      list(REMOVE_ITEM sources ${excluded_sources})
    endif()
  endforeach()
  add_library(${target} STATIC ${sources})
  corvantis_target_defaults(${target})
endfunction()

# One GoogleTest binary per library, its cases registered with CTest.
function(corvantis_test target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;LIBRARIES" ${ARGN})
  corvantis_sources_below(sources ${ARG_FOLDERS})
  add_executable(${target} ${sources})
  corvantis_target_defaults(${target})
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main)
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
  target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest_main)
  add_test(NAME ${target} COMMAND ${CMAKE_SOURCE_DIR}/scripts/sandbox $<TARGET_FILE:${target}>)
  set_tests_properties(${target} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endfunction()

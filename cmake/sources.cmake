# Each folder's sources are picked up by pattern, so adding a file needs no build edit.
# Files named *_main.cpp are program entries and stay out of the libraries.
function(zor_sources out)
  set(all)
  foreach(dir ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.c)
    list(FILTER found EXCLUDE REGEX "_main\\.cpp$")  # program entries are not library code
    list(APPEND all ${found})
  endforeach()
  if(NOT all)
    # A subsystem with no sources yet still builds as an (empty) library.
    set(empty ${CMAKE_BINARY_DIR}/empty_subsystem.cpp)
    if(NOT EXISTS ${empty})
      file(WRITE ${empty} "// no sources yet\n")
    endif()
    set(all ${empty})
  endif()
  set(${out} ${all} PARENT_SCOPE)
endfunction()

# Test code is compiled to be debugged, not to be fast: it drives the programs' code, which keeps
# its optimisation, and compiles in half the time.
function(zor_test_code target)
  if(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo" OR CMAKE_BUILD_TYPE STREQUAL "Release")
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Og>)
  endif()
endfunction()

# A GoogleTest program made of every source in one tests/ folder, run once under Wine by CTest.
function(zor_test_program name dir)
  # A test folder may carry its own resource script (string tables, dialogs for test hosts).
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.rc)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
  set(rcs ${srcs})
  list(FILTER rcs INCLUDE REGEX "\\.rc$")
  if(rcs)
    zor_track_resources(${rcs})
  endif()
  target_link_libraries(${name} PRIVATE ${ARGN} zortestsupport gmock gtest)
  zor_test_code(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE
                             ZOR_PROGRAM_MANIFEST=L"${CMAKE_SOURCE_DIR}/resources/common.manifest")
  zor_add_gtest(${name})
endfunction()

# A GoogleTest program run by CTest through tests/support/checked_gtest.py, which passes it only
# when GoogleTest's own report says so and shows every listed test run: under Wine a program
# killed by a stack overflow exits with status 0.
# A program that runs long is split into ZOR_TEST_SHARDS_<name> runs side by side, each taking
# its share of the tests by GoogleTest's sharding (checked against the share it lists).
function(zor_add_gtest name)
  find_program(ZOR_HOST_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(command ${ZOR_HOST_PYTHON} ${CMAKE_SOURCE_DIR}/tests/support/checked_gtest.py
              ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${name}> --gtest_color=no)
  if(NOT ZOR_TEST_SHARDS_${name})
    zor_add_isolated_test(${name} ${command})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
    return()
  endif()
  set(shards ${ZOR_TEST_SHARDS_${name}})
  math(EXPR last "${shards} - 1")
  foreach(index RANGE ${last})
    math(EXPR number "${index} + 1")
    set(shard ${name}_${number}of${shards})
    zor_add_isolated_test(${shard} ${command})
    # The longest start first (CTest's cost), also on a first run that has no times yet.
    set_tests_properties(${shard} PROPERTIES TIMEOUT 900 COST 1000
                         ENVIRONMENT "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
  endforeach()
endfunction()

# A test that runs Windows programs, on a display and in a Wine prefix of its own
# (scripts/isolated-run.sh), so that CTest may run it beside the others.
function(zor_add_isolated_test name)
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/isolated-run.sh ${name} ${ARGN})
endfunction()

# windres does not report the files a resource script includes (dialog files, identifiers, art):
# every resource script depends on all of them, so a changed dialog rebuilds each program's resources.
function(zor_track_resources)
  file(GLOB_RECURSE deps CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.h
       ${CMAKE_SOURCE_DIR}/resources/art/* ${CMAKE_SOURCE_DIR}/resources/*.manifest)
  set_source_files_properties(${ARGN} PROPERTIES OBJECT_DEPENDS "${deps}")
endfunction()

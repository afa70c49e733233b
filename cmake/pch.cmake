# The Windows and standard headers nearly every source includes are parsed once (a precompiled
# header) instead of once per source: they were half of the compiling. One header serves the
# programs' libraries, one more with GoogleTest the test programs; each is made by a target of its
# own that everything else waits for, the only wait it adds.
# ZOR_PCH=OFF builds without, to see that each source still includes what it uses.
option(ZOR_PCH "Precompile the common Windows and standard headers" ON)
set(ZOR_PCH_HEADERS <windows.h> <commctrl.h> <oleauto.h> <strsafe.h>
    <string> <vector> <algorithm> <functional> <memory> <map> <cstdio> <cmath> <cstring>)

# C++ sources only; a '>' of a header's name would end the expression early.
function(zor_pch_headers out)
  set(headers)
  foreach(header ${ARGN})
    string(REPLACE ">" "$<ANGLE-R>" header "${header}")
    list(APPEND headers "$<$<COMPILE_LANGUAGE:CXX>:${header}>")
  endforeach()
  set(${out} ${headers} PARENT_SCOPE)
endfunction()

# Called once the project's compile options are all set: the headers are made with the flags of
# the sources that use them.
function(zor_make_precompiled_headers)
  if(NOT ZOR_PCH)
    return()
  endif()
  set(stub ${CMAKE_BINARY_DIR}/precompiled.cpp)
  if(NOT EXISTS ${stub})
    file(WRITE ${stub} "// the precompiled headers' own source\n")
  endif()
  zor_pch_headers(headers ${ZOR_PCH_HEADERS})
  add_library(zpch OBJECT ${stub})
  target_precompile_headers(zpch PRIVATE ${headers})
  zor_pch_headers(headers ${ZOR_PCH_HEADERS} <gtest/gtest.h> <gmock/gmock.h>)
  add_library(zpchtest OBJECT ${stub})
  target_link_libraries(zpchtest PRIVATE gmock gtest)
  target_precompile_headers(zpchtest PRIVATE ${headers})
endfunction()

# A library's or program's C++ sources take the programs' header; TEST: the test programs' one.
function(zor_precompile target)
  if(NOT ZOR_PCH)
    return()
  endif()
  set(owner zpch)
  if(ARGV1 STREQUAL "TEST")
    set(owner zpchtest)
  endif()
  target_precompile_headers(${target} REUSE_FROM ${owner})
endfunction()

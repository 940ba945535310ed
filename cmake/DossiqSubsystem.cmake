# dossiq_library(<target> <folder> [USES library...] [EXCLUDE file...]): a static library of
# every .cpp below <folder> (less EXCLUDE, relative to it) that uses the named libraries.
function(dossiq_library target dir)
    cmake_parse_arguments(L "" "" "USES;EXCLUDE" ${ARGN})
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    foreach(excluded ${L_EXCLUDE})
        list(REMOVE_ITEM srcs ${CMAKE_SOURCE_DIR}/${dir}/${excluded})
    endforeach()
    add_library(${target} STATIC ${srcs})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${target} PUBLIC ${L_USES} PRIVATE dossiq_warnings)
    dossiq_precompiled_headers(${target})
endfunction()

# The Windows headers precompiled once, by foundation, and used by every library and test
# program. Off by default under a compiler cache, which would no longer cache those sources.
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(dossiq_pch_default OFF)
else()
    set(dossiq_pch_default ON)
endif()
option(DOSSIQ_PRECOMPILED_HEADERS "Precompile the Windows headers" ${dossiq_pch_default})
function(dossiq_precompiled_headers target)
    if(NOT DOSSIQ_PRECOMPILED_HEADERS)
        return()
    endif()
    if(target STREQUAL foundation)
        target_precompile_headers(foundation PRIVATE
            $<$<COMPILE_LANGUAGE:CXX>:${CMAKE_SOURCE_DIR}/cmake/precompiled.h>)
    else()
        target_precompile_headers(${target} REUSE_FROM foundation)
    endif()
endfunction()

# dossiq_add_test(<name> SOURCES ... [LIBS library...] [RC file.rc])
# A GoogleTest program linking the given libraries, the shared test support and the
# test resources, run by ctest under Wine as one entry in a fresh prefix of its own (see
# scripts/wine-run), so programs may run side by side.
function(dossiq_add_test name)
    cmake_parse_arguments(T "" "RC" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES} ${T_RC})
    if(T_RC)
        dossiq_resource_depends(${T_RC})
    else()
        target_link_libraries(${name} PRIVATE dossiq_test_resources)
    endif()
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests
                                               ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${name} PRIVATE dossiq_testsupport dossiq_warnings gtest ${T_LIBS})
    target_compile_definitions(${name} PRIVATE
        DOSSIQ_SOURCE_DIR="${CMAKE_SOURCE_DIR}" DOSSIQ_BINARY_DIR="${CMAKE_BINARY_DIR}")
    dossiq_precompiled_headers(${name})
    add_test(NAME ${name}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${name}>
                     --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300
        ENVIRONMENT "DOSSIQ_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# dossiq_resources(<name> <file.rc>): a resource script compiled once, as an object library
# that every program carrying those resources links.
function(dossiq_resources name rc)
    add_library(${name} OBJECT ${rc})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources
                                               ${CMAKE_SOURCE_DIR}/tests)
    dossiq_resource_depends(${rc})
endfunction()

# windres leaves no dependency information: the resource scripts named are rebuilt whenever
# anything under resources/ changes.
function(dossiq_resource_depends)
    file(GLOB_RECURSE resource_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
    set_source_files_properties(${ARGN} PROPERTIES OBJECT_DEPENDS "${resource_files}")
endfunction()

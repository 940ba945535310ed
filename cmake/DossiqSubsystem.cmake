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
endfunction()

# dossiq_add_test(<name> SOURCES ... [LIBS library...] [RC file.rc])
# A GoogleTest program linking the given libraries, the shared test support and the
# test resources, run by ctest under Wine as one entry in a fresh prefix of its own (see
# scripts/wine-run), so programs may run side by side.
function(dossiq_add_test name)
    cmake_parse_arguments(T "" "RC" "SOURCES;LIBS" ${ARGN})
    if(NOT T_RC)
        set(T_RC ${CMAKE_SOURCE_DIR}/resources/test/test.rc)
    endif()
    add_executable(${name} ${T_SOURCES} ${T_RC})
    dossiq_resource_depends(${T_RC})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests
                                               ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${name} PRIVATE dossiq_testsupport dossiq_warnings gtest ${T_LIBS})
    target_compile_definitions(${name} PRIVATE
        DOSSIQ_SOURCE_DIR="${CMAKE_SOURCE_DIR}" DOSSIQ_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${name}>
                     --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300
        ENVIRONMENT "DOSSIQ_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# windres leaves no dependency information: the resource scripts named are rebuilt whenever
# anything under resources/ changes.
function(dossiq_resource_depends)
    file(GLOB_RECURSE resource_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
    set_source_files_properties(${ARGN} PROPERTIES OBJECT_DEPENDS "${resource_files}")
endfunction()

# dossiq_subsystem(<target> <folder>): an object library of every .cpp below <folder>.
# A folder without sources yet gives an interface target, so callers can name it anyway.
function(dossiq_subsystem target dir)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    if(srcs)
        add_library(${target} OBJECT ${srcs})
        target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
        target_link_libraries(${target} PRIVATE dossiq_warnings)
        set(DOSSIQ_HAS_SOURCES_${target} TRUE PARENT_SCOPE)
    else()
        add_library(${target} INTERFACE)
        target_include_directories(${target} INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/resources)
        set(DOSSIQ_HAS_SOURCES_${target} FALSE PARENT_SCOPE)
    endif()
endfunction()

# dossiq_add_test(<name> SOURCES ... [LIBS subsystem...] [RC file.rc])
# A GoogleTest program with the given subsystems' objects, the shared test support and the
# test resources, run by ctest under Wine as one entry in a fresh prefix of its own (see
# scripts/wine-run), so programs may run side by side.
function(dossiq_add_test name)
    cmake_parse_arguments(T "" "RC" "SOURCES;LIBS" ${ARGN})
    if(NOT T_RC)
        set(T_RC ${CMAKE_SOURCE_DIR}/resources/test/test.rc)
    endif()
    add_executable(${name} ${T_SOURCES} ${T_RC})
    dossiq_resource_depends(${T_RC})
    foreach(lib ${T_LIBS})
        if(DOSSIQ_HAS_SOURCES_${lib})
            target_sources(${name} PRIVATE $<TARGET_OBJECTS:${lib}>)
        endif()
    endforeach()
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests
                                               ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${name} PRIVATE dossiq_testsupport dossiq_warnings gtest dossiq_syslibs)
    target_compile_definitions(${name} PRIVATE
        DOSSIQ_SOURCE_DIR="${CMAKE_SOURCE_DIR}" DOSSIQ_BINARY_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${name}>
                     --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300
        ENVIRONMENT "DOSSIQ_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# windres leaves no dependency information: rebuild a resource script whenever anything
# under resources/ changes.
function(dossiq_resource_depends)
    file(GLOB_RECURSE resource_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
    set_source_files_properties(${ARGN} PROPERTIES OBJECT_DEPENDS "${resource_files}")
endfunction()

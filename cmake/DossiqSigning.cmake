# Authenticode signing of everything that ships, with osslsigncode.
#
# A real certificate: DOSSIQ_SIGN_CERT (the code-signing certificate, PEM or DER, with any
# intermediates) and DOSSIQ_SIGN_KEY (its private key, PEM or DER, not password protected),
# as CMake or environment variables; DOSSIQ_SIGN_TIMESTAMP_URL optionally names an RFC 3161
# time-stamp server. Without them the build makes a throw-away test certificate
# (tests/pki/make_codesign.sh) that nothing trusts.
#
# Sets DOSSIQ_SIGNING (TRUE when osslsigncode is there), DOSSIQ_SIGN_CAFILE (the test root
# for "osslsigncode verify -CAfile", empty for a real certificate), DOSSIQ_SIGN_SCRIPT (a
# script that signs the file given as its argument in place) and the functions below.
find_program(OSSLSIGNCODE_EXECUTABLE osslsigncode)
set(DOSSIQ_SIGNING FALSE)
if(NOT OSSLSIGNCODE_EXECUTABLE)
    message(WARNING "osslsigncode is missing: nothing is signed and no installer is built "
                    "(scripts/install-deps installs it)")
    return()
endif()
set(DOSSIQ_SIGNING TRUE)

foreach(var DOSSIQ_SIGN_CERT DOSSIQ_SIGN_KEY DOSSIQ_SIGN_TIMESTAMP_URL)
    if(NOT ${var} AND DEFINED ENV{${var}})
        set(${var} "$ENV{${var}}")
    endif()
endforeach()
set(sign_timestamp -)
if(DOSSIQ_SIGN_TIMESTAMP_URL)
    set(sign_timestamp ${DOSSIQ_SIGN_TIMESTAMP_URL})
endif()
if(DOSSIQ_SIGN_CERT AND DOSSIQ_SIGN_KEY)
    foreach(file ${DOSSIQ_SIGN_CERT} ${DOSSIQ_SIGN_KEY})
        if(NOT EXISTS ${file})
            message(FATAL_ERROR "Code signing: ${file} does not exist")
        endif()
    endforeach()
    set(sign_cert ${DOSSIQ_SIGN_CERT})
    set(sign_key ${DOSSIQ_SIGN_KEY})
    set(DOSSIQ_SIGN_CAFILE "")
    message(STATUS "Signing with ${DOSSIQ_SIGN_CERT}")
elseif(DOSSIQ_SIGN_CERT OR DOSSIQ_SIGN_KEY)
    message(FATAL_ERROR "Code signing needs both DOSSIQ_SIGN_CERT and DOSSIQ_SIGN_KEY")
else()
    set(sign_dir ${CMAKE_BINARY_DIR}/codesign)
    set(sign_cert ${sign_dir}/codesign.cert.pem)
    set(sign_key ${sign_dir}/codesign.key.pem)
    set(DOSSIQ_SIGN_CAFILE ${sign_dir}/codesign-root.cert.pem)
    add_custom_command(
        OUTPUT ${sign_cert} ${sign_key} ${DOSSIQ_SIGN_CAFILE}
        COMMAND bash ${CMAKE_SOURCE_DIR}/tests/pki/make_codesign.sh ${sign_dir}
        DEPENDS ${CMAKE_SOURCE_DIR}/tests/pki/make_codesign.sh
        COMMENT "Making the TEST code-signing certificate"
        VERBATIM)
    message(STATUS "Signing with a TEST certificate (set DOSSIQ_SIGN_CERT and DOSSIQ_SIGN_KEY "
                   "for a real one)")
endif()
add_custom_target(codesign_certificate DEPENDS ${sign_cert} ${sign_key} ${DOSSIQ_SIGN_CAFILE})

set(sign_sh ${CMAKE_SOURCE_DIR}/installer/sign.sh)
set(DOSSIQ_SIGN_SCRIPT ${CMAKE_BINARY_DIR}/codesign/sign-in-place.sh)
file(CONFIGURE OUTPUT ${DOSSIQ_SIGN_SCRIPT} CONTENT
     "exec bash '${sign_sh}' '${sign_cert}' '${sign_key}' '${sign_timestamp}' \"$1\"\n")

# dossiq_sign_file(IN OUT [DEPENDS ...]): OUT is a signed copy of IN.
function(dossiq_sign_file in out)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS")
    get_filename_component(name ${out} NAME)
    add_custom_command(
        OUTPUT ${out}
        COMMAND bash ${sign_sh} ${sign_cert} ${sign_key} ${sign_timestamp} ${in} ${out}
        DEPENDS ${in} ${arg_DEPENDS} ${sign_sh} ${sign_cert} ${sign_key}
        COMMENT "Signing ${name}"
        VERBATIM)
endfunction()

# dossiq_sign_target(TARGET DIR): DIR/<file name of TARGET> is its signed copy; the path goes
# into DOSSIQ_SIGNED_<TARGET> (cache) and onto the list DOSSIQ_SIGNED_FILES.
function(dossiq_sign_target target dir)
    get_target_property(name ${target} OUTPUT_NAME)
    get_target_property(type ${target} TYPE)
    if(NOT name)
        set(name ${target})
    endif()
    if(type STREQUAL "SHARED_LIBRARY")
        set(name ${name}${CMAKE_SHARED_LIBRARY_SUFFIX})
    else()
        set(name ${name}${CMAKE_EXECUTABLE_SUFFIX})
    endif()
    dossiq_sign_file($<TARGET_FILE:${target}> ${dir}/${name} DEPENDS ${target})
    set(DOSSIQ_SIGNED_${target} ${dir}/${name} CACHE INTERNAL "Signed copy of ${target}")
    set_property(GLOBAL APPEND PROPERTY DOSSIQ_SIGNED_FILES ${dir}/${name})
endfunction()

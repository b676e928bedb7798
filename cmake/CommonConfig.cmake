# One configuration target that every target links: language level, warnings, Qt strictness.
add_library(vimor_common INTERFACE)
target_compile_features(vimor_common INTERFACE cxx_std_20)
target_compile_options(vimor_common INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                              -Wold-style-cast -Wcast-align -Woverloaded-virtual)
# GCC's sanitizers make its flow analysis warn about code that is sound (-Warray-bounds on checked
# reads); its manual advises against -Werror with them. The normal build holds the warning line.
if(VIMOR_WERROR AND NOT (VIMOR_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"))
    target_compile_options(vimor_common INTERFACE -Werror)
endif()
# Memory errors and undefined behaviour stop the program at the first one, with a stack that has
# its frames.
if(VIMOR_SANITIZE OR VIMOR_FUZZ)
    target_compile_options(vimor_common INTERFACE -fsanitize=address,undefined
                                                  -fno-sanitize-recover=undefined
                                                  -fno-omit-frame-pointer)
    target_link_options(vimor_common INTERFACE -fsanitize=address,undefined)
endif()
# Coverage for libFuzzer in every library; only the fuzz targets link its main.
if(VIMOR_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "VIMOR_FUZZ needs clang: configure with CXX=clang++")
    endif()
    target_compile_options(vimor_common INTERFACE -fsanitize=fuzzer-no-link)
endif()
target_compile_definitions(vimor_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_FOREACH
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_STRICT_ITERATORS
    QT_USE_QSTRINGBUILDER)

# vimor_add_library(NAME SOURCES... LINKS ...): one static library of a subsystem folder.
function(vimor_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    set(compiled ${ARG_SOURCES})
    list(FILTER compiled INCLUDE REGEX "\\.cpp$")
    if(NOT compiled)
        # A subsystem with nothing built yet still gives its users its headers and links.
        add_library(${name} INTERFACE ${ARG_SOURCES})
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} INTERFACE vimor_common ${ARG_LINKS})
        return()
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC vimor_common ${ARG_LINKS})
endfunction()

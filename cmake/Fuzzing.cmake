# FACIWARD_FUZZ: the libFuzzer build of scripts/fuzz. It needs clang; every
# library gets coverage instrumentation for the fuzzer to steer by, and the
# fuzz targets of tests/Fuzz are built instead of the tests.
option(FACIWARD_FUZZ "Build the libFuzzer targets (clang only)" OFF)
if(NOT FACIWARD_FUZZ)
    return()
endif()
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "FACIWARD_FUZZ needs clang (libFuzzer); configure with CMAKE_CXX_COMPILER=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link)

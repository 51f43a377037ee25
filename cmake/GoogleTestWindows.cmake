# GoogleTest for the Windows build, compiled from Debian's googletest sources with the cross compiler, so
# the semantic tests of winsim and the stand-ins can run as Windows programs (under Wine here). Static, like
# everything the Windows build makes. Gives the targets GTest::gtest and GTest::gtest_main (GoogleTest names
# them so itself), or nothing when
# the sources are not there (a Visual Studio machine without them builds the product alone).
set(PHONEDOCK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows test build")

if(NOT EXISTS ${PHONEDOCK_GOOGLETEST_SOURCE}/googletest/CMakeLists.txt)
    message(STATUS "No GoogleTest sources at ${PHONEDOCK_GOOGLETEST_SOURCE}: the Windows tests are not built")
    return()
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
# SYSTEM: GoogleTest's headers are not ours to hold to our warnings.
add_subdirectory(${PHONEDOCK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(target gtest gtest_main)
    # Nor are its sources: our -Werror must not fail on a warning a newer compiler finds in them.
    target_compile_options(${target} PRIVATE -w)
endforeach()

# The test bed: this build's test programs run under Wine in a private
# prefix inside the build tree, with one Xvfb and one wineserver for the
# whole run (started by the fixture test "testbed_up", stopped by
# "testbed_down", so no process outlives ctest). The one loader starts 32-
# and 64-bit programs alike.

set(VK_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(VK_WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "Wine loader")
set(VK_TESTBED ${CMAKE_CURRENT_LIST_DIR}/testbed.sh)
# Written by testbed_up: runs a program in the test bed's prefix.
set(VK_WINE_RUN ${VK_WINE_DIR}/wine-run)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VK_WINE_RUN})
if(VK_SHIPPED)
    set(VK_BITS 32)
else()
    set(VK_BITS 64)
endif()

# A lane this machine cannot run (a kernel without 32-bit programs, found
# by testbed_up's probe): its tests end with this status, a skip.
set(VK_SKIP_STATUS 77)

function(vk_add_testbed)
    add_test(NAME testbed_up COMMAND sh ${VK_TESTBED} up ${VK_WINE_DIR} ${VK_WINE_LOADER}
                                     $<TARGET_FILE:vkholddesktop> ${VK_BITS})
    add_test(NAME testbed_down COMMAND sh ${VK_TESTBED} down ${VK_WINE_DIR} ${VK_WINE_LOADER})
    set_tests_properties(testbed_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 120
                                               SKIP_RETURN_CODE ${VK_SKIP_STATUS})
    set_tests_properties(testbed_down PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endfunction()

# vk_add_wine_test(NAME name COMMAND command [args...] [LOCKS resource...])
# Runs a test under Wine (a target, run through wine-run, or a script that
# uses wine-run). Tests that share state in the prefix (the Windows
# directory, a registry key, the screen) name it in LOCKS so that ctest -j
# never runs them together.
function(vk_add_wine_test)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "COMMAND;LOCKS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND})
    set_tests_properties(${ARG_NAME} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${ARG_TIMEOUT}
                                                SKIP_RETURN_CODE ${VK_SKIP_STATUS})
    if(ARG_LOCKS)
        set_tests_properties(${ARG_NAME} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
endfunction()

# The test bed: the x86_64 test programs run under 64-bit Wine in a private
# prefix inside the build tree, with one Xvfb and one wineserver for the
# whole run (started by the fixture test "testbed_up", stopped by
# "testbed_down", so no process outlives ctest).

set(VK_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(VK_WINE_LOADER /usr/lib/wine/wine64 CACHE FILEPATH "64-bit Wine loader")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(VK_TESTBED ${CMAKE_CURRENT_LIST_DIR}/testbed.sh)

if(NOT VK_SHIPPED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()

function(vk_add_testbed)
    add_test(NAME testbed_up COMMAND sh ${VK_TESTBED} up ${VK_WINE_DIR} ${VK_WINE_LOADER}
                                     $<TARGET_FILE:vkholddesktop>)
    add_test(NAME testbed_down COMMAND sh ${VK_TESTBED} down ${VK_WINE_DIR} ${VK_WINE_LOADER})
    set_tests_properties(testbed_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
    set_tests_properties(testbed_down PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endfunction()

# vk_add_wine_test(NAME name COMMAND target [args...] [LOCKS resource...])
# Runs a test program under Wine. Tests that share state in the prefix (the
# Windows directory, a registry key, the screen) name it in LOCKS so that
# ctest -j never runs them together.
function(vk_add_wine_test)
    cmake_parse_arguments(ARG "" "NAME;TIMEOUT" "COMMAND;LOCKS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_COMMAND})
    set_tests_properties(${ARG_NAME} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LOCKS)
        set_tests_properties(${ARG_NAME} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
endfunction()

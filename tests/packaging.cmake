# The Debian package: built with cpack from this build, then its files, Depends, libraries
# and desktop entry checked (label package). Run after the build; takes a few seconds.
if(TARGET velqor-sim)
    set(velqor_package_has_sim 1)
else()
    set(velqor_package_has_sim 0)
endif()
add_test(NAME package
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_package.sh
                 ${CMAKE_BINARY_DIR} ${CMAKE_CPACK_COMMAND} ${PROJECT_VERSION} ${velqor_package_has_sim})
# Serial: the check may install its tools with apt, which takes the dpkg lock.
set_tests_properties(package PROPERTIES LABELS package TIMEOUT 300 RUN_SERIAL TRUE)

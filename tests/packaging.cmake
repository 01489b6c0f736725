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

# The manual pages against each program's --help and --version (label unit: no package needed).
set(velqor_man_programs $<TARGET_FILE:velqorctl> $<TARGET_FILE:velqor-config>)
if(TARGET velqor-sim)
    list(APPEND velqor_man_programs $<TARGET_FILE:velqor-sim>)
endif()
add_test(NAME man_pages
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_man_pages.sh
                 ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${velqor_man_programs})
set_tests_properties(man_pages PROPERTIES LABELS unit TIMEOUT 60)

# No program looks for its libraries in the folder it is started in.
add_test(NAME run_path COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/packaging/check_run_path.sh ${velqor_man_programs})
set_tests_properties(run_path PROPERTIES LABELS unit)

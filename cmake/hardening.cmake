# Debian's hardening flags, as dpkg-buildflags gives them to every package it builds:
# -D_FORTIFY_SOURCE=2 and the stack protector when compiling, -z relro and -z now
# (bindnow) when linking. The package build turns them on (docs/packaging.md):
#
#   cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVELQOR_HARDENING=ON
#
# Included before any target exists, so every library and program gets them.

option(VELQOR_HARDENING "Compile and link with the hardening flags of dpkg-buildflags (package build)" OFF)
if(VELQOR_HARDENING)
    if(WIN32 OR VELQOR_SANITIZE OR VELQOR_FUZZ)
        message(FATAL_ERROR "VELQOR_HARDENING is for the Debian package build, not with Windows, sanitizers or fuzzing")
    endif()
    find_program(VELQOR_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)  # package dpkg-dev
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${VELQOR_DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        set(VELQOR_DEB_${kind} ${flags})
    endforeach()
    # the build type chooses -O and -g; the rest is dpkg-buildflags' word for word
    list(FILTER VELQOR_DEB_CXXFLAGS EXCLUDE REGEX "^-(O[0-9s]?|g)$")
    add_compile_options(${VELQOR_DEB_CPPFLAGS} ${VELQOR_DEB_CXXFLAGS})
    add_link_options(${VELQOR_DEB_LDFLAGS})
    message(STATUS "Hardening flags: ${VELQOR_DEB_CPPFLAGS} ${VELQOR_DEB_CXXFLAGS} | ${VELQOR_DEB_LDFLAGS}")
endif()

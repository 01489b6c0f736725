# The Windows build (cross-built on Linux with cmake/mingw-w64.cmake, or native with MinGW):
# the window is a GUI program (no console window of its own); both programs land in the
# build folder, where scripts/windows puts their DLLs beside them.
set_target_properties(velqor-config PROPERTIES WIN32_EXECUTABLE ON)

# Windows reads the icon of a program from its resources.
set(VELQOR_WINDOWS_ICON ${PROJECT_SOURCE_DIR}/packaging/windows/velqor-config.ico)
if(EXISTS ${VELQOR_WINDOWS_ICON})
    file(WRITE ${CMAKE_BINARY_DIR}/velqor-config.rc "1 ICON \"${VELQOR_WINDOWS_ICON}\"\n")
    target_sources(velqor-config PRIVATE ${CMAKE_BINARY_DIR}/velqor-config.rc)
endif()

# The version the installer's name carries.
file(WRITE ${CMAKE_BINARY_DIR}/version.txt "${PROJECT_VERSION}\n")

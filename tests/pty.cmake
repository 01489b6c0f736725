# The real port layer on socat pty pairs.
add_executable(hold_port support/hold_port.cpp)
target_link_libraries(hold_port PRIVATE gui)
velqor_add_test(tst_serial_pty LABEL pty SOURCES app/tst_serial_pty.cpp support/pty_pair.h)
add_dependencies(tst_serial_pty hold_port)
set_target_properties(hold_port PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

# End-to-end tests: real programs on socat pty pairs (label e2e).

# The module simulator against a libmodbus master; needs neither Qt nor the window.
if(TARGET velqor-sim)
    add_executable(tst_sim tools/tst_sim.cpp)
    target_link_libraries(tst_sim PRIVATE device PkgConfig::MODBUS)
    target_include_directories(tst_sim PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    set_target_properties(tst_sim PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    add_test(NAME sim_selftest COMMAND tst_sim $<TARGET_FILE:velqor-sim>)
    set_tests_properties(sim_selftest PROPERTIES LABELS e2e TIMEOUT 120)
endif()

# The window and the real port layer against the simulator (socat pty pair, offscreen).
if(TARGET velqor-sim)
    velqor_add_test(tst_window_e2e LABEL e2e TIMEOUT 300
        SOURCES e2e/tst_window_e2e.cpp support/pty_pair.h support/sim_process.h KNOWN_GOOD bytesOnTheWire)
    target_compile_definitions(tst_window_e2e PRIVATE VELQOR_SIM_PATH="$<TARGET_FILE:velqor-sim>")
    add_dependencies(tst_window_e2e velqor-sim)
endif()

# velqorctl against the simulator (socat pty pair): commands, faults, bad input, ports.
if(TARGET velqor-sim)
    velqor_add_test(tst_velqorctl LABEL e2e TIMEOUT 300
        SOURCES e2e/tst_velqorctl.cpp support/pty_pair.h support/sim_process.h)
    target_compile_definitions(tst_velqorctl PRIVATE VELQOR_SIM_PATH="$<TARGET_FILE:velqor-sim>"
                                                     VELQORCTL_PATH="$<TARGET_FILE:velqorctl>")
    add_dependencies(tst_velqorctl velqor-sim velqorctl hold_port)
endif()

# velqorctl finding and reaching modules: scan, ports, tcp:// (loopback only), monitor, --log.
if(TARGET velqor-sim)
    velqor_add_test(tst_ctl_lines LABEL e2e TIMEOUT 300
        SOURCES e2e/tst_ctl_lines.cpp support/pty_pair.h support/sim_process.h)
    target_link_libraries(tst_ctl_lines PRIVATE Qt6::Network)
    target_compile_definitions(tst_ctl_lines PRIVATE VELQOR_SIM_PATH="$<TARGET_FILE:velqor-sim>"
                                                     VELQORCTL_PATH="$<TARGET_FILE:velqorctl>")
    add_dependencies(tst_ctl_lines velqor-sim velqorctl)
endif()

# velqorctl provision: a line of modules and a bench where they arrive one after another.
if(TARGET velqor-sim)
    velqor_add_test(tst_provision LABEL e2e TIMEOUT 300
        SOURCES e2e/tst_provision.cpp support/pty_pair.h support/sim_process.h)
    target_compile_definitions(tst_provision PRIVATE VELQOR_SIM_PATH="$<TARGET_FILE:velqor-sim>"
                                                     VELQORCTL_PATH="$<TARGET_FILE:velqorctl>")
    add_dependencies(tst_provision velqor-sim velqorctl)
endif()

# velqorctl over Modbus TCP (loopback only): libmodbus's own server, the simulator as a
# gateway, and servers that misbehave.
if(TARGET velqor-sim)
    add_executable(modbus_tcp_server support/modbus_tcp_server.cpp)
    target_link_libraries(modbus_tcp_server PRIVATE PkgConfig::MODBUS)
    set_target_properties(modbus_tcp_server PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    velqor_add_test(tst_ctl_modbus_tcp LABEL e2e TIMEOUT 300
        SOURCES e2e/tst_ctl_modbus_tcp.cpp support/sim_process.h)
    target_link_libraries(tst_ctl_modbus_tcp PRIVATE Qt6::Network)
    target_compile_definitions(tst_ctl_modbus_tcp PRIVATE VELQOR_SIM_PATH="$<TARGET_FILE:velqor-sim>"
                                                          VELQORCTL_PATH="$<TARGET_FILE:velqorctl>"
                                                          MODBUS_TCP_SERVER_PATH="$<TARGET_FILE:modbus_tcp_server>")
    add_dependencies(tst_ctl_modbus_tcp velqor-sim velqorctl modbus_tcp_server)
endif()

# velqorctl monitor against a simulator that spoils a few replies at random (seeded):
# every value reported good belongs to its own request, no spoilt reply passes as good.
if(TARGET velqor-sim)
    add_test(NAME chaos_monitor COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/chaos.sh --build-dir ${PROJECT_BINARY_DIR}
                                        --exchanges 1000 --percent 1 --seed 1)
    set_tests_properties(chaos_monitor PROPERTIES LABELS e2e TIMEOUT 120)
endif()

# The same through the window: reads, writes and output switches clicked against the
# chaotic simulator, the window's pause and reply timer shortened to 10 and 50 ms.
if(TARGET velqor-sim)
    qt_add_executable(window_chaos e2e/window_chaos.cpp support/pty_pair.h support/sim_process.h)
    target_link_libraries(window_chaos PRIVATE gui Qt6::Test)
    target_include_directories(window_chaos PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_dependencies(window_chaos velqor-sim)
    add_test(NAME chaos_window COMMAND window_chaos --sim $<TARGET_FILE:velqor-sim> --exchanges 1000 --percent 5 --seed 3
                                                   --pause 10 --reply-wait 50 --late 75)
    set_tests_properties(chaos_window PROPERTIES LABELS e2e TIMEOUT 300)
endif()

# Unit tests of the Qt-free core: one executable per topic.
velqor_add_test(tst_frames LABEL unit SOURCES modbus/tst_frames.cpp)
velqor_add_test(tst_parameters LABEL unit SOURCES device/tst_parameters.cpp KNOWN_GOOD wholeBlock readBlockRequest)
velqor_add_test(tst_reply_decoding LABEL unit SOURCES device/tst_reply_decoding.cpp)
velqor_add_test(tst_settings_file LABEL unit SOURCES settings/tst_settings_file.cpp)
velqor_add_test(tst_key_filter LABEL unit SOURCES app/tst_key_filter.cpp)
velqor_add_test(tst_byte_exchange LABEL unit SOURCES cli/tst_byte_exchange.cpp
    ${PROJECT_SOURCE_DIR}/cli/exchange.cpp)
velqor_add_test(tst_port_names LABEL unit SOURCES app/tst_port_names.cpp support/fake_port.h)
velqor_add_test(tst_open_failure_advice LABEL unit SOURCES serial/tst_open_failure_advice.cpp)
velqor_add_test(tst_scan_plan LABEL unit SOURCES cli/tst_scan_plan.cpp)
velqor_add_test(tst_mbap LABEL unit SOURCES cli/tst_mbap.cpp ${PROJECT_SOURCE_DIR}/cli/retry_rule.cpp)
if(WIN32)
    return()  # the checks below read the tree with the host's tools
endif()
# Tests reach the network only on 127.0.0.1.
add_test(NAME network_rule COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/network_rule.sh)
set_tests_properties(network_rule PROPERTIES LABELS unit)
# Every text of the window has its English in the catalogue.
add_test(NAME translations
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/app/check_translations.sh $<TARGET_FILE:Qt6::lupdate> ${PROJECT_SOURCE_DIR})
set_tests_properties(translations PROPERTIES LABELS unit)
# Layers read downwards: no folder includes from a layer above it (docs/layers.md).
add_test(NAME layers COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/layers.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(layers PROPERTIES LABELS unit)
# docs/robustness.md cites only tests that exist.
add_test(NAME robustness_citations COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/docs_cite_tests.sh ${PROJECT_SOURCE_DIR})
set_tests_properties(robustness_citations PROPERTIES LABELS unit)

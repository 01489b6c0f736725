# Unit tests of the Qt-free core: one executable per topic.
velqor_add_test(tst_frames LABEL unit SOURCES modbus/tst_frames.cpp)
velqor_add_test(tst_parameters LABEL unit SOURCES device/tst_parameters.cpp)
velqor_add_test(tst_reply_decoding LABEL unit SOURCES device/tst_reply_decoding.cpp)
velqor_add_test(tst_settings_file LABEL unit SOURCES app/tst_settings_file.cpp)
velqor_add_test(tst_key_filter LABEL unit SOURCES app/tst_key_filter.cpp)
velqor_add_test(tst_port_names LABEL unit SOURCES serial/tst_port_names.cpp support/fake_port.h)

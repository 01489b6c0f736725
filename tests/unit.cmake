# Unit tests of the Qt-free core: one executable per topic.
velqor_add_test(tst_frames LABEL unit SOURCES modbus/tst_frames.cpp)

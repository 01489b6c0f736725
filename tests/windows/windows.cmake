# The Windows build's own test, run under Wine by tests/windows/run with COM1 mapped to the
# simulator's pty (label windows); the logic's unit tests above run there too.
velqor_add_test(tst_window_wine LABEL windows TIMEOUT 120 SOURCES windows/tst_window_wine.cpp)
# Port names are Linux's there: COMn links in the working folder and /dev/ttyS nodes.
set_tests_properties(tst_port_names PROPERTIES LABELS linux)

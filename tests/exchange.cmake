# The request/reply exchange and the device operations through the window.
velqor_add_test(tst_exchange LABEL gui SOURCES app/tst_exchange.cpp support/exchange_window.h)
velqor_add_test(tst_operations LABEL gui SOURCES app/tst_operations.cpp support/exchange_window.h
    KNOWN_GOOD parameterWrite)
# The same window on the real serial port, against a socat pty pair.
velqor_add_test(tst_exchange_pty LABEL pty SOURCES app/tst_exchange_pty.cpp)
# The traffic log the window writes with --log.
velqor_add_test(tst_traffic_log LABEL gui SOURCES app/tst_traffic_log.cpp support/exchange_window.h)

# The window on a fake port: controls, start-up and settings file, typing rules, the port button.
velqor_add_test(tst_main_window LABEL gui SOURCES app/tst_main_window.cpp support/fake_port.h)
# The window in English and the room of its captions, on a fake port.
velqor_add_test(tst_language LABEL gui SOURCES app/tst_language.cpp support/exchange_window.h support/fake_port.h)

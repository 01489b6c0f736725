# The window on a fake port: controls, start-up and settings file, typing rules, the port button.
velqor_add_test(tst_main_window LABEL gui SOURCES app/tst_main_window.cpp support/fake_port.h)
# The window's captions against their room in both languages, English, and a small screen.
velqor_add_test(tst_window_fit LABEL gui SOURCES app/tst_window_fit.cpp support/exchange_window.h)
# A language the window has no texts for is refused with a message, before any window.
add_test(NAME unknown_language COMMAND velqor-config --lang xx)
set_tests_properties(unknown_language PROPERTIES LABELS gui ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    PASS_REGULAR_EXPRESSION "no window language \"xx\"; use --lang zh or --lang en")

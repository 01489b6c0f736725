# The window on a fake port: controls, start-up and settings file, typing rules, the port button.
velqor_add_test(tst_main_window LABEL gui SOURCES app/tst_main_window.cpp support/fake_port.h)
# The window in English and the room of its captions, on a fake port.
velqor_add_test(tst_language LABEL gui SOURCES app/tst_language.cpp support/exchange_window.h support/fake_port.h)
# A window larger than the screen, shown scrolled.
velqor_add_test(tst_screen_fit LABEL gui SOURCES app/tst_screen_fit.cpp support/exchange_window.h support/fake_port.h)
# A language the window has no texts for is refused with a message, before any window.
add_test(NAME unknown_language COMMAND velqor-config --lang xx)
set_tests_properties(unknown_language PROPERTIES LABELS gui ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    PASS_REGULAR_EXPRESSION "no window language \"xx\"; use --lang zh or --lang en")

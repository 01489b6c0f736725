# Bad input from the user, the settings file and the line; docs/robustness.md tables them.
velqor_add_test(tst_robustness LABEL gui SOURCES app/tst_robustness.cpp support/exchange_window.h)

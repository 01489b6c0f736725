# The window on a fake port: controls, start-up and settings file, typing rules, the port button.
velqor_add_test(tst_main_window LABEL gui SOURCES app/tst_main_window.cpp support/fake_port.h support/window_parts.h)
target_compile_definitions(tst_main_window PRIVATE VELQOR_CONFIG_PATH="$<TARGET_FILE:velqor-config>")
add_dependencies(tst_main_window velqor-config)
# The window's captions against their room in both languages, English, and a small screen.
velqor_add_test(tst_window_fit LABEL gui SOURCES app/tst_window_fit.cpp support/exchange_window.h support/window_parts.h)
# Ctrl+S / Ctrl+O: parameter-set files through the window.
velqor_add_test(tst_parameter_set_keys LABEL gui SOURCES app/tst_parameter_set_keys.cpp support/fake_port.h)
# The search for modules: the plain search, and the search window on a fake port.
velqor_add_test(tst_module_search LABEL gui SOURCES app/tst_module_search.cpp support/fake_port.h support/window_parts.h)

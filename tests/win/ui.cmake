# Skinned-button tests that use the real cursor and focus: serialised with the window tests,
# which drive the same display.
kvz_add_wine_gtest(NAME win_skin_button_input TARGET kvz_win_tests FILTER "EnvSkinButtonInput.*"
                   DISPLAY RESOURCE_LOCK kvz_display_input LABELS gui)

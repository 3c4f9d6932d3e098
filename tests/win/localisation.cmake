# The catalogue's tests read a copy of the shipped translation file beside the test program,
# as the installer reads its own; the language choice is checked per user language.
add_custom_target(kvz_win_tests_translation
  COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:kvz_win_tests>/data
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/data/translation.json
          $<TARGET_FILE_DIR:kvz_win_tests>/data/translation.json
  VERBATIM)
add_dependencies(kvz_win_tests kvz_win_tests_translation)

foreach(_case "de_DE.UTF-8;deu" "zh_TW.UTF-8;cht" "zh_SG.UTF-8;chs" "ja_JP.UTF-8;jpn"
              "es_MX.UTF-8;es" "en_GB.UTF-8;eng")
  list(GET _case 0 _locale)
  list(GET _case 1 _code)
  kvz_add_wine_gtest(NAME localisation_language_${_code} TARGET kvz_win_tests
                     FILTER "EnvLanguage.*" LANG ${_locale}
                     ENVIRONMENT KVZ_EXPECT_LANGUAGE=${_code} LABELS localisation)
endforeach()

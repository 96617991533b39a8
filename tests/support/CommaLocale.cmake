# SPDX-License-Identifier: GPL-3.0-or-later
# A comma-decimal C locale compiled into the build folder (Debian's locales package ships the
# sources, localedef compiles them), and halvik_comma_locale_run(target [gtest args]) that runs a
# test binary once more under it, to show that no text depends on the process locale. Without
# localedef the runs are not added; without the locale sources they skip (exit 77).
find_program(HALVIK_LOCALEDEF localedef)
if(HALVIK_LOCALEDEF AND NOT TARGET halvik_comma_locale)
  set(HALVIK_LOCALE_DIR ${CMAKE_BINARY_DIR}/locale CACHE INTERNAL "")
  add_custom_command(
    OUTPUT ${HALVIK_LOCALE_DIR}/de_DE.UTF-8/LC_NUMERIC
    COMMAND ${CMAKE_COMMAND} -E make_directory ${HALVIK_LOCALE_DIR}
    COMMAND ${HALVIK_LOCALEDEF} -i de_DE -f UTF-8 ${HALVIK_LOCALE_DIR}/de_DE.UTF-8 || true
    VERBATIM)
  add_custom_target(halvik_comma_locale ALL DEPENDS ${HALVIK_LOCALE_DIR}/de_DE.UTF-8/LC_NUMERIC)
endif()

function(halvik_comma_locale_run target)
  if(NOT TARGET halvik_comma_locale)
    return()
  endif()
  add_dependencies(${target} halvik_comma_locale)
  add_test(NAME ${target}_comma_process_locale COMMAND ${target} ${ARGN})
  set_tests_properties(${target}_comma_process_locale PROPERTIES
    ENVIRONMENT "LOCPATH=${HALVIK_LOCALE_DIR};LC_ALL=de_DE.UTF-8;HALVIK_EXPECT_COMMA_LOCALE=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/logger/lsan-setlocale.supp"
    SKIP_RETURN_CODE 77)
endfunction()

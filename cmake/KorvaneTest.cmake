# korvane_add_test(NAME [QTEST] SOURCES src... LIBS lib... [LABELS label...])
# One test executable per class; every test runs without a display (on
# Windows, under Wine, on the X display Wine is given). QTEST
# makes it a QtTest program (windows), else it is a GoogleTest one.
if(WIN32)
  # Real windows (under Wine, on its X display). Programs find the DLLs and
  # Qt's plugins in the build's program folder, copies made elsewhere too.
  set(KORVANE_TEST_ENVIRONMENT "WINEPATH=Z:${KORVANE_PROGRAM_DIR}"
    "QT_PLUGIN_PATH=Z:${KORVANE_PROGRAM_DIR}")
  # Wine is slower to start windows.
  set(KORVANE_TEST_TIMEOUT 300)
else()
  set(KORVANE_TEST_TIMEOUT 120)
  set(KORVANE_TEST_ENVIRONMENT QT_QPA_PLATFORM=offscreen GIO_USE_VFS=local
    GSETTINGS_BACKEND=memory)
endif()

function(korvane_add_test name)
  cmake_parse_arguments(T "QTEST" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(T_QTEST)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  if(T_QTEST AND WIN32)
    # QtTest on Windows writes to the console only when asked to.
    add_test(NAME ${name} COMMAND ${name} -o -,txt)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${KORVANE_TEST_ENVIRONMENT}"
    TIMEOUT ${KORVANE_TEST_TIMEOUT})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

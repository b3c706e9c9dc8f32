# korvane_windows_deploy(NAME DIR [TEST])
# A custom target NAME (built with all) that puts beside the programs in DIR
# what they need to run on Windows without Qt or MinGW installed: the Qt
# DLLs, the plugins Qt loads from beside the executable (platform, style,
# image formats) and the MinGW runtime DLLs. TEST adds Qt's test library.
function(korvane_windows_deploy name dir)
  cmake_parse_arguments(D "TEST" "" "" ${ARGN})
  set(dlls $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
  if(D_TEST)
    list(APPEND dlls $<TARGET_FILE:Qt6::Test>)
  endif()
  # The compiler knows where its runtime lies (Debian's MinGW and Qt's kit alike).
  foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
      OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
      get_filename_component(compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
      set(found ${compiler_dir}/${runtime})
    endif()
    if(NOT EXISTS "${found}")
      message(FATAL_ERROR "The MinGW runtime ${runtime} was not found")
    endif()
    list(APPEND dlls ${found})
  endforeach()
  set(commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dlls} ${dir})
  set(plugins
    platforms Qt6::QWindowsIntegrationPlugin
    styles Qt6::QWindowsVistaStylePlugin
    imageformats Qt6::QICOPlugin
    imageformats Qt6::QGifPlugin
    imageformats Qt6::QJpegPlugin
    # From a Qt that has its SVG module (Qt's own kit), SVG icon files too.
    imageformats Qt6::QSvgPlugin
    iconengines Qt6::QSvgIconPlugin)
  while(plugins)
    list(POP_FRONT plugins folder plugin)
    if(TARGET ${plugin})
      list(APPEND commands
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${plugin}> ${dir}/${folder})
    endif()
  endwhile()
  add_custom_target(${name} ALL ${CMAKE_COMMAND} -E make_directory ${dir} ${commands} VERBATIM)
endfunction()

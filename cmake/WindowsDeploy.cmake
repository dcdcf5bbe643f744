# The Windows window runs where it is put, on a machine without Qt: its Qt
# DLLs, the plugins it loads, Qt's Chinese texts and the MinGW runtime that
# Qt's DLLs need go beside tessaro.exe, copied into the application folder
# after each build and installed into the program folder. qt.conf tells Qt
# that its plugins and translations are there, and which font engine draws.
#   tessaro_deploy_qt(<target>)
function(tessaro_deploy_qt target)
  if(NOT WIN32)
    return()
  endif()
  set(app ${TESSARO_APP_DIR})
  set(installed "")
  # Folder (relative to the program) and the Qt targets that go into it.
  set(groups
    ".|Qt6::Core,Qt6::Gui,Qt6::Widgets,Qt6::Network"
    "platforms|Qt6::QWindowsIntegrationPlugin,Qt6::QOffscreenIntegrationPlugin"
    "styles|Qt6::QWindowsVistaStylePlugin"
    "tls|Qt6::QSchannelBackendPlugin"
    "imageformats|Qt6::QICOPlugin,Qt6::QJpegPlugin,Qt6::QGifPlugin")
  foreach(group IN LISTS groups)
    string(REPLACE "|" ";" parts "${group}")
    list(GET parts 0 folder)
    list(GET parts 1 names)
    string(REPLACE "," ";" names "${names}")
    foreach(name IN LISTS names)
      if(NOT TARGET ${name})
        message(WARNING "${name} is missing: ${target} will lack it on Windows")
        continue()
      endif()
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${app}/${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}> ${app}/${folder}/)
      install(FILES $<TARGET_FILE:${name}> DESTINATION ${TESSARO_INSTALL_DIR}/${folder})
      list(APPEND installed "${folder}/$<TARGET_FILE_NAME:${name}>")
    endforeach()
  endforeach()

  # The MinGW runtime of Qt's DLLs, as the compiler names it.
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      find_file(path_${dll} ${dll} PATHS /usr/${TESSARO_MINGW_PREFIX}/lib NO_DEFAULT_PATH)
      set(path ${path_${dll}})
    endif()
    if(NOT path OR NOT EXISTS "${path}")
      message(WARNING "${dll} not found: ${target} will not start on a clean Windows")
      continue()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${path} ${app}/)
    install(FILES ${path} DESTINATION ${TESSARO_INSTALL_DIR})
    list(APPEND installed ${dll})
  endforeach()

  # Qt's release DLLs and the runtime carry their symbols; an installing
  # with --strip (and CPack) strips them as it strips the executables.
  if(CMAKE_STRIP)
    install(CODE "
      if(CMAKE_INSTALL_DO_STRIP)
        foreach(dll ${installed})
          execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TESSARO_INSTALL_DIR}/\${dll}\"
            COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
      endif()")
  endif()

  # Qt's own Chinese texts (dialog buttons and the like), from Debian's
  # qt6-translations-l10n.
  find_file(TESSARO_QTBASE_QM qtbase_zh_CN.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH)
  if(TESSARO_QTBASE_QM)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${app}/translations
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TESSARO_QTBASE_QM} ${app}/translations/)
    install(FILES ${TESSARO_QTBASE_QM} DESTINATION ${TESSARO_INSTALL_DIR}/translations)
  else()
    message(WARNING "qtbase_zh_CN.qm not found (qt6-translations-l10n): Qt's texts stay in English")
  endif()

  # The windows platform draws text with FreeType, as if started with
  # "-platform windows:fontengine=freetype": under Wine the default GDI engine
  # leaves the text of line edits (the output folder, the numbers of the
  # parameter fields) undrawn, and a program started from the Start menu gets
  # no arguments of ours. FreeType draws every text under Wine and on Windows.
  file(WRITE ${app}/qt.conf "[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n\n"
                            "[Platforms]\nWindowsArguments = fontengine=freetype\n")
  install(FILES ${app}/qt.conf DESTINATION ${TESSARO_INSTALL_DIR})
endfunction()

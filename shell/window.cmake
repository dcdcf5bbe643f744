# The main window, its dialogs wrapper and the tessaro executable.
find_package(Qt6 QUIET COMPONENTS PrintSupport GLOBAL)
target_sources(tessaro_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AfterBatchCountdown.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CCommonDialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/COMDLG.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommandLineFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DesktopSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileHandover.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ListMessageBox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtDialogBackend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SingleInstance.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowLossWatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ToolIcons.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMainAfterBatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMainCommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMainLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMainOpen.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMainQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/frmMenu.cpp
)
# The platform halves: the opener, the native window.
if(WIN32)
  set(TESSARO_SHELL_PLATFORM win)
else()
  set(TESSARO_SHELL_PLATFORM posix)
endif()
foreach(part DesktopSession SystemOpener TerminationWatch WavePlayer WindowLossWatch)
  target_sources(tessaro_shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/${part}_${TESSARO_SHELL_PLATFORM}.cpp)
endforeach()
# The completion sound: PlaySoundW on Windows, Qt Multimedia here.
if(WIN32)
  target_link_libraries(tessaro_shell PRIVATE winmm)
endif()
if(Qt6PrintSupport_FOUND)
  target_link_libraries(tessaro_shell PUBLIC Qt6::PrintSupport)
  target_compile_definitions(tessaro_shell PRIVATE TESSARO_HAVE_PRINTSUPPORT=1)
endif()

add_executable(tessaro ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_compile_definitions(tessaro PRIVATE TESSARO_VERSION="${PROJECT_VERSION}")
target_link_libraries(tessaro PRIVATE tessaro_shell)
# WIN32_EXECUTABLE: a window program on Windows, without a console.
set_target_properties(tessaro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TESSARO_APP_DIR} WIN32_EXECUTABLE TRUE)
tessaro_windows_resources(tessaro "Tessaro" ICON)
tessaro_deploy_qt(tessaro)

# Files the window reads beside itself: the help page and the completion sound.
configure_file(${CMAKE_CURRENT_LIST_DIR}/help.html ${TESSARO_APP_DIR}/help.html COPYONLY)
add_executable(tessaro_make_sound ${CMAKE_CURRENT_LIST_DIR}/MakeSound.cpp)
add_custom_command(OUTPUT ${TESSARO_APP_DIR}/sound.wav
  COMMAND tessaro_make_sound ${TESSARO_APP_DIR}/sound.wav
  DEPENDS tessaro_make_sound
  COMMENT "Writing sound.wav")
add_custom_target(tessaro_sound ALL DEPENDS ${TESSARO_APP_DIR}/sound.wav)
add_dependencies(tessaro tessaro_sound)

install(TARGETS tessaro RUNTIME DESTINATION ${TESSARO_INSTALL_DIR})
install(FILES ${TESSARO_APP_DIR}/help.html ${TESSARO_APP_DIR}/sound.wav
        DESTINATION ${TESSARO_INSTALL_DIR})

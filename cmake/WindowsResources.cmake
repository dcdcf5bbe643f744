# Windows executables carry version information, and the window its icon,
# made from packaging/tessaro.svg at build time (rsvg-convert renders the
# sizes, ImageMagick's convert packs them into one .ico). Without those tools
# the window is built without an icon and a message says so.
#   tessaro_windows_resources(<target> "<description>" [ICON])
if(WIN32)
  enable_language(RC)
  find_program(TESSARO_RSVG_CONVERT rsvg-convert)
  find_program(TESSARO_IM_CONVERT NAMES convert magick)
endif()

set(TESSARO_RESOURCE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/resources.rc.in)

function(tessaro_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(icon "")
  if("ICON" IN_LIST ARGN)
    set(ico ${CMAKE_BINARY_DIR}/resources/tessaro.ico)
    if(TESSARO_RSVG_CONVERT AND TESSARO_IM_CONVERT)
      set(svg ${PROJECT_SOURCE_DIR}/packaging/tessaro.svg)
      set(pngs "")
      foreach(size 16 24 32 48 64 256)
        list(APPEND pngs ${CMAKE_BINARY_DIR}/resources/icon-${size}.png)
      endforeach()
      add_custom_command(OUTPUT ${ico}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
        COMMAND ${TESSARO_RSVG_CONVERT} -w 16 -h 16 -o ${CMAKE_BINARY_DIR}/resources/icon-16.png ${svg}
        COMMAND ${TESSARO_RSVG_CONVERT} -w 24 -h 24 -o ${CMAKE_BINARY_DIR}/resources/icon-24.png ${svg}
        COMMAND ${TESSARO_RSVG_CONVERT} -w 32 -h 32 -o ${CMAKE_BINARY_DIR}/resources/icon-32.png ${svg}
        COMMAND ${TESSARO_RSVG_CONVERT} -w 48 -h 48 -o ${CMAKE_BINARY_DIR}/resources/icon-48.png ${svg}
        COMMAND ${TESSARO_RSVG_CONVERT} -w 64 -h 64 -o ${CMAKE_BINARY_DIR}/resources/icon-64.png ${svg}
        COMMAND ${TESSARO_RSVG_CONVERT} -w 256 -h 256 -o ${CMAKE_BINARY_DIR}/resources/icon-256.png ${svg}
        COMMAND ${TESSARO_IM_CONVERT} ${pngs} ${ico}
        DEPENDS ${svg}
        COMMENT "Making tessaro.ico")
      set(icon "1 ICON \"${ico}\"")
    else()
      message(STATUS "rsvg-convert or convert missing: ${target} gets no icon")
    endif()
  endif()
  set(TESSARO_RC_ICON "${icon}")
  set(TESSARO_RC_DESCRIPTION "${description}")
  get_target_property(TESSARO_RC_FILE ${target} OUTPUT_NAME)
  if(NOT TESSARO_RC_FILE)
    set(TESSARO_RC_FILE ${target})
  endif()
  set(rc ${CMAKE_BINARY_DIR}/resources/${target}.rc)
  configure_file(${TESSARO_RESOURCE_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(icon)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${ico})
  endif()
endfunction()

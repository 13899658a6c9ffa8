# relink\ of the Windows release. Qt is linked statically and is under the
# LGPL, so a user must be able to link the programs again with a Qt of their
# own: the kit holds each program's own objects (obj\NAME\, its icon's
# resource among them), the project's static libraries (lib\), all without
# debug data, and a CMake project written here from the programs' link
# lists, which links them with the static Qt that QT names:
#   QT=/path/to/qt sh relink.sh
# Qt's own CMake files bring its libraries, plugins and system libraries.

# Walks a link list: the project's own static libraries go into the kit
# (collected in the global property TW_RELINK_LIBRARIES with their links),
# Qt's modules become the kit's find_package() components, anything else is
# a system library passed on by name. Sets OutVar to the kit's names.
function(tw_relink_links Links OutVar)
  set(names)
  foreach(link ${Links})
    if(link MATCHES "^\\$<LINK_ONLY:(.*)>$")
      set(link ${CMAKE_MATCH_1})
    endif()
    if(link MATCHES "^Qt6::(.*)$")
      set_property(GLOBAL APPEND PROPERTY TW_RELINK_QT ${CMAKE_MATCH_1})
      list(APPEND names ${link})
    elseif(link STREQUAL "Threads::Threads")
      list(APPEND names ${link})
    elseif(TARGET ${link})
      get_target_property(type ${link} TYPE)
      get_target_property(imported ${link} IMPORTED)
      if(imported OR NOT type STREQUAL "STATIC_LIBRARY")
        message(FATAL_ERROR "relink kit: ${link} (${type}) is neither ours and static nor Qt's; "
          "packaging/relink.cmake must learn to carry it")
      endif()
      get_property(known GLOBAL PROPERTY TW_RELINK_LIBRARIES)
      if(NOT link IN_LIST known)
        set_property(GLOBAL APPEND PROPERTY TW_RELINK_LIBRARIES ${link})
        get_target_property(own ${link} LINK_LIBRARIES)
        if(NOT own)
          set(own)
        endif()
        tw_relink_links("${own}" own_names)
        set_property(GLOBAL PROPERTY TW_RELINK_LINKS_${link} "${own_names}")
      endif()
      list(APPEND names ${link})
    elseif(link MATCHES "^[A-Za-z0-9_]+$")
      list(APPEND names ${link})
    else()
      message(FATAL_ERROR "relink kit: cannot carry the link entry ${link}")
    endif()
  endforeach()
  set(${OutVar} "${names}" PARENT_SCOPE)
endfunction()

function(tw_relink_kit)
  set(kit ${CMAKE_CURRENT_BINARY_DIR}/relink)
  set(programs_text)
  foreach(program ${ARGN})
    get_target_property(links ${program} LINK_LIBRARIES)
    tw_relink_links("${links}" names)
    get_target_property(gui ${program} WIN32_EXECUTABLE)
    get_target_property(plugins ${program} TW_QT_PLUGINS)
    string(APPEND programs_text
      "file(GLOB objects \${CMAKE_CURRENT_SOURCE_DIR}/obj/${program}/*)\n"
      "set_source_files_properties(\${objects} PROPERTIES EXTERNAL_OBJECT ON)\n"
      "add_executable(${program} \${objects})\n")
    string(REPLACE ";" " " names "${names}")
    string(APPEND programs_text
      "target_link_libraries(${program} PRIVATE ${names})\n"
      "set_target_properties(${program} PROPERTIES LINKER_LANGUAGE CXX")
    if(gui)
      string(APPEND programs_text " WIN32_EXECUTABLE ON")
    endif()
    string(APPEND programs_text ")\n")
    if(plugins)
      string(REPLACE ";" " " plugins "${plugins}")
      string(APPEND programs_text "qt_import_plugins(${program} INCLUDE ${plugins})\n")
    endif()
    install(FILES $<TARGET_OBJECTS:${program}> DESTINATION relink/obj/${program})
  endforeach()

  set(libraries_text)
  get_property(libraries GLOBAL PROPERTY TW_RELINK_LIBRARIES)
  foreach(library ${libraries})
    get_property(links GLOBAL PROPERTY TW_RELINK_LINKS_${library})
    string(APPEND libraries_text
      "add_library(${library} STATIC IMPORTED)\n"
      "set_target_properties(${library} PROPERTIES\n"
      "  IMPORTED_LOCATION \${CMAKE_CURRENT_SOURCE_DIR}/lib/$<TARGET_FILE_NAME:${library}>\n"
      "  INTERFACE_LINK_LIBRARIES \"${links}\")\n")
    install(FILES $<TARGET_FILE:${library}> DESTINATION relink/lib)
  endforeach()
  get_property(qt GLOBAL PROPERTY TW_RELINK_QT)
  list(REMOVE_DUPLICATES qt)
  string(REPLACE ";" " " qt "${qt}")

  file(GENERATE OUTPUT ${kit}/CMakeLists.txt CONTENT
"# Links the Trackwarden programs again from their objects and libraries,
# against the static Qt for MinGW-w64 in TW_QT_PREFIX (see relink.sh).
# Written by the release's build; do not edit.
cmake_minimum_required(VERSION 3.21)
project(TrackwardenRelink LANGUAGES CXX)
find_package(Threads REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS ${qt})
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY \${CMAKE_CURRENT_SOURCE_DIR}/out)
${libraries_text}
${programs_text}")
  install(FILES ${kit}/CMakeLists.txt DESTINATION relink)
  install(PROGRAMS windows/relink.sh DESTINATION relink)
  install(FILES ${CMAKE_SOURCE_DIR}/cmake/mingw-w64.cmake ${CMAKE_SOURCE_DIR}/cmake/qt-mingw.sh DESTINATION relink)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/cmake/qt-patches DESTINATION relink)
  # Debug data would make the kit ten times its size.
  install(CODE "
    file(GLOB_RECURSE kit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/relink/obj/*\"
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/relink/lib/*\")
    foreach(file \${kit})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug \"\${file}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()")
endfunction()

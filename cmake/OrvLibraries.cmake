# The stub's code: one static library per folder under src/, in layers. Each library names the
# libraries it may use, and sees only their headers: its include folder (in the build tree) holds
# symbolic links to its own source folder and to the folders of the libraries it may use,
# transitively, and nothing else. An include that runs back up the layers is not found, and a call
# into a library that is not named does not link.
#
# Every library links orv_options, which carries the platform's definitions, compile and link
# options (cmake/OrvWindows.cmake, cmake/OrvNative.cmake); orv_library_options() adds compile
# options of the libraries' own code only. Files named *_win.cpp use the Windows API and are left
# out of the native build.

add_library(orv_options INTERFACE)
target_include_directories(orv_options SYSTEM INTERFACE "${ORV_THIRDPARTY_INCLUDE}")
set_property(GLOBAL PROPERTY ORV_LIBRARIES "")

# orv_library(<name> <folder under src> [USES <library>...] [EXCLUDE <file name>...])
function(orv_library name folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "USES;EXCLUDE")
  set(source_dir "${CMAKE_SOURCE_DIR}/src/${folder}")
  file(GLOB sources CONFIGURE_DEPENDS "${source_dir}/*.cpp")
  foreach(excluded ${arg_EXCLUDE})
    list(REMOVE_ITEM sources "${source_dir}/${excluded}")
  endforeach()
  if(NOT WIN32)
    list(FILTER sources EXCLUDE REGEX "_win\\.cpp$")
  endif()

  set(folders "${folder}")
  foreach(used ${arg_USES})
    if(NOT TARGET ${used})
      message(FATAL_ERROR "orv_library(${name}): ${used} must be defined before the libraries that use it")
    endif()
    get_target_property(used_folders ${used} ORV_FOLDERS)
    list(APPEND folders ${used_folders})
  endforeach()
  list(REMOVE_DUPLICATES folders)

  set(include_dir "${CMAKE_BINARY_DIR}/include/${name}")
  file(REMOVE_RECURSE "${include_dir}")
  file(MAKE_DIRECTORY "${include_dir}")
  foreach(visible ${folders})
    file(CREATE_LINK "${CMAKE_SOURCE_DIR}/src/${visible}" "${include_dir}/${visible}" SYMBOLIC)
  endforeach()

  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES ORV_FOLDERS "${folders}")
  target_include_directories(${name} PUBLIC "${include_dir}")
  target_link_libraries(${name} PUBLIC orv_options ${arg_USES})
  set_property(GLOBAL APPEND PROPERTY ORV_LIBRARIES ${name})
endfunction()

# orv_library_options(<option>...): compile options of every library's own code, not of the
# programs that link them.
function(orv_library_options)
  get_property(libraries GLOBAL PROPERTY ORV_LIBRARIES)
  foreach(library ${libraries})
    target_compile_options(${library} PRIVATE ${ARGN})
  endforeach()
endfunction()

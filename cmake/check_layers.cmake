# Checks the layering of src/: a game layer includes only itself, the layers
# below it and the platform's interface headers; the platform implementations
# include only the platform. docs/LAYERS.md draws the same graph. The build runs
# this whenever a source changes:  cmake -DSRC=<src dir> -P check_layers.cmake

cmake_policy(SET CMP0057 NEW)  # if(... IN_LIST ...)

# What each game layer may include, besides the platform interfaces.
set(allowed_core core)
set(allowed_play core play)
set(allowed_sim core play sim)
set(allowed_display core display)
set(allowed_render core play sim render)
set(allowed_game core play sim display render game)
set(game_layers core play sim display render game)
# The platform interfaces: declarations the game calls, implemented below platform/.
set(interfaces platform/glide/glide.h platform/glide/blends.h platform/keyboard.h platform/sound.h platform/stream.h platform/video.h)
# Platform directories that hold implementations only (they never see the game).
set(implementation_dirs platform platform/glide platform/net platform/sdl platform/web)

set(failures "")
file(GLOB_RECURSE files RELATIVE ${SRC} ${SRC}/*.cpp ${SRC}/*.h)
foreach(file IN LISTS files)
  get_filename_component(dir ${file} DIRECTORY)
  string(REGEX MATCH "^[^/]+" layer ${file})
  if(layer IN_LIST game_layers)
    set(allowed ${allowed_${layer}})
  elseif(dir IN_LIST implementation_dirs)
    set(allowed platform)
  else()
    continue()
  endif()
  file(STRINGS ${SRC}/${file} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
    # A quoted include is looked up beside the including file first, then from src/.
    if(EXISTS ${SRC}/${dir}/${header} AND NOT dir STREQUAL "")
      set(header ${dir}/${header})
    endif()
    string(REGEX MATCH "^[^/]+" target ${header})
    if(target IN_LIST allowed)
      continue()
    endif()
    if(layer IN_LIST game_layers AND header IN_LIST interfaces)
      continue()
    endif()
    string(APPEND failures "  ${file} includes ${header}\n")
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes against the layering (docs/LAYERS.md):\n${failures}")
endif()

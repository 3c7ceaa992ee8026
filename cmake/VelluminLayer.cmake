# Layers the build enforces. Every library compiles against an include root of its own in the
# build tree that holds links to its own headers only; it reaches other headers through the
# roots of the libraries it links. The repository root is on no library's include path, so a
# header of a higher layer (or of a sibling the library does not link) is simply not found.

set(VELLUMIN_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layers)

# Gives `target` an empty include root (links of an earlier configure removed).
function(vellumin_layer_root target)
  set(root ${VELLUMIN_LAYER_ROOTS}/${target})
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# The folder a file is in tells its layer: a folder's files belong to one layer library. The
# GUI's page classes are the exception by design, each beside its feature's engine.
function(vellumin_claim_folder target folder)
  get_property(owner GLOBAL PROPERTY VELLUMIN_FOLDER_OWNER_${folder})
  if(owner AND NOT owner STREQUAL target)
    message(FATAL_ERROR "${folder}/ holds files of both ${owner} and ${target}: one folder per layer library")
  endif()
  set_property(GLOBAL PROPERTY VELLUMIN_FOLDER_OWNER_${folder} ${target})
endfunction()

# Adds sources to `target`; its headers are linked into its include root under their path in
# the repository ("ata/IdentifyBlock.h").
function(vellumin_layer_sources target)
  foreach(f ${ARGN})
    cmake_path(ABSOLUTE_PATH f BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE abs)
    target_sources(${target} PRIVATE ${abs})
    if(NOT target STREQUAL "vellumin_gui")
      file(RELATIVE_PATH rel_dir ${PROJECT_SOURCE_DIR} ${abs})
      get_filename_component(rel_dir ${rel_dir} DIRECTORY)
      vellumin_claim_folder(${target} ${rel_dir})
    endif()
    if(abs MATCHES "\\.h$")
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
      set(link ${VELLUMIN_LAYER_ROOTS}/${target}/${rel})
      get_filename_component(dir ${link} DIRECTORY)
      file(MAKE_DIRECTORY ${dir})
      file(CREATE_LINK ${abs} ${link} SYMBOLIC)
    endif()
  endforeach()
endfunction()

# vellumin_layer(<target> SOURCES <files...> LINKS <libraries below it...>)
function(vellumin_layer target)
  cmake_parse_arguments(arg "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${target} STATIC)
  vellumin_layer_root(${target})
  vellumin_layer_sources(${target} ${arg_SOURCES})
  target_link_libraries(${target} PUBLIC ${arg_LINKS})
endfunction()

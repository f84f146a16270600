# starfall_pack_data(WRITER DEPENDENCY): packs data/ into ${CMAKE_BINARY_DIR}/Starfall.pak with
# the archive writer WRITER (a target or a path; DEPENDENCY is what the command waits for) and
# adds the target starfall_pak. Sets STARFALL_PAK in the caller to the archive's path.
function(starfall_pack_data writer dependency)
  # A fresh clone may have no data/ folder at all (git keeps no empty folders): then the
  # archive is empty.
  file(GLOB_RECURSE data_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
  set(data_input)
  if(EXISTS ${CMAKE_SOURCE_DIR}/data)
    set(data_input ${CMAKE_SOURCE_DIR}/data)
  endif()
  set(pak ${CMAKE_BINARY_DIR}/Starfall.pak)
  add_custom_command(OUTPUT ${pak}
    COMMAND ${writer} --quiet -o ${pak} ${data_input}
    DEPENDS ${dependency} ${data_files}
    COMMENT "Packing data/ into Starfall.pak")
  add_custom_target(starfall_pak DEPENDS ${pak})
  set(STARFALL_PAK ${pak} PARENT_SCOPE)
endfunction()

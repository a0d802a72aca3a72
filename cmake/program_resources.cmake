# The manifest and the version resource of a Windows program, both in
# res/program.rc, which the program's own resource script includes:
#
#   quarlen_program_resources(TARGET RC_FILE)
#
# adds RC_FILE to TARGET and lets windres find program.rc, app.manifest and
# the version header written here from the project version.
configure_file(${PROJECT_SOURCE_DIR}/res/version.h.in
               ${PROJECT_BINARY_DIR}/res/quarlen_version.h @ONLY)

function(quarlen_program_resources target rc)
  target_sources(${target} PRIVATE ${rc})
  # Source properties belong to the directory of the target, wherever this is called.
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY INCLUDE_DIRECTORIES
               ${PROJECT_SOURCE_DIR}/res ${PROJECT_BINARY_DIR}/res)
  # windres's includes are not scanned: name them here.
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/res/program.rc
               ${PROJECT_SOURCE_DIR}/res/app.manifest
               ${PROJECT_BINARY_DIR}/res/quarlen_version.h)
endfunction()

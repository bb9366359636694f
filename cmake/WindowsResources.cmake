# Windows resources of the shipped programs: the program's icon, a version resource with a
# Czech description, and a manifest (run with the caller's rights; made for Windows 10 and 11).

enable_language(RC)
set(VELOR_PUBLISHER "Velor")

function(velor_windows_resources target description)
    set(VELOR_FILE_NAME ${target})
    set(VELOR_FILE_DESCRIPTION "${description}")
    set(VELOR_ICON_FILE ${PROJECT_SOURCE_DIR}/packaging/windows/velor.ico)
    set(VELOR_MANIFEST_FILE ${PROJECT_SOURCE_DIR}/packaging/windows/velor.manifest)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/resources.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    # windres sees the icon and the manifest change only through this.
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${VELOR_ICON_FILE} ${VELOR_MANIFEST_FILE})
endfunction()

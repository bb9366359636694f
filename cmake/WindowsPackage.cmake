# The Windows installer and the portable zip, made with the programs: a fresh build never
# leaves an older installer beside newer programs. packaging/windows/package.sh does the work.

find_program(VELOR_MAKENSIS makensis NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(VELOR_ZIP zip NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(VELOR_MINGW_OBJDUMP x86_64-w64-mingw32-objdump NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(VELOR_MINGW_STRIP x86_64-w64-mingw32-strip NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# The SDK (the folder above the bin/ that holds Qt6Core.dll) and the compiler's runtime DLLs.
get_filename_component(VELOR_QT_SDK "${Qt6Core_DIR}/../../.." ABSOLUTE)
set(runtime_dirs)
foreach(dll libstdc++-6.dll libwinpthread-1.dll libgcc_s_seh-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${found}")
        get_filename_component(dir "${found}" DIRECTORY)
        get_filename_component(dir "${dir}" REALPATH)
        list(APPEND runtime_dirs "${dir}")
    endif()
endforeach()
list(REMOVE_DUPLICATES runtime_dirs)
string(REPLACE ";" ":" runtime_dirs "${runtime_dirs}")  # one argument for the script

set(VELOR_SETUP ${CMAKE_BINARY_DIR}/Velor-${PROJECT_VERSION}-setup.exe)
set(VELOR_PORTABLE_ZIP ${CMAKE_BINARY_DIR}/Velor-${PROJECT_VERSION}-win64.zip)
set(programs velor velor-cli velor-modsim)
set(sources package.sh installer.nsi velor.ico)
list(TRANSFORM sources PREPEND ${PROJECT_SOURCE_DIR}/packaging/windows/)
add_custom_command(OUTPUT ${VELOR_SETUP} ${VELOR_PORTABLE_ZIP}
    COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/windows/package.sh ${CMAKE_BINARY_DIR}
        ${PROJECT_VERSION} ${VELOR_QT_SDK} ${VELOR_MINGW_OBJDUMP} ${VELOR_MINGW_STRIP}
        "${runtime_dirs}" $<TARGET_FILE:velor> $<TARGET_FILE:velor-cli> $<TARGET_FILE:velor-modsim>
    DEPENDS ${programs} ${sources} ${PROJECT_SOURCE_DIR}/config/data/ParamIOI.cfw
    COMMENT "Windows installer and portable zip"
    VERBATIM)
add_custom_target(windows_package ALL DEPENDS ${VELOR_SETUP} ${VELOR_PORTABLE_ZIP})

# Tests of the Windows build run under Wine on the Linux build machine: every test executable
# (and the test discovery) is started through wine-run.sh, which sets up a Wine prefix private
# to this build directory. Included only when cross-compiling for Windows.

find_program(VELOR_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH REQUIRED)
get_filename_component(VELOR_WINE_DIR "${VELOR_WINE64}" DIRECTORY)

# The DLLs the programs load: Qt's beside Qt6Core.dll, the compiler's runtime where the
# compiler keeps it.
get_filename_component(VELOR_QT_BIN "${Qt6Core_DIR}/../../../bin" ABSOLUTE)
set(VELOR_RUNTIME_DIRS "${VELOR_QT_BIN}")
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
        message(FATAL_ERROR "The compiler does not know where ${dll} is")
    endif()
    get_filename_component(dir "${found}" DIRECTORY)
    get_filename_component(dir "${dir}" REALPATH)
    list(APPEND VELOR_RUNTIME_DIRS "${dir}")
endforeach()
list(REMOVE_DUPLICATES VELOR_RUNTIME_DIRS)
set(VELOR_WINEPATH "${VELOR_RUNTIME_DIRS}")

set(VELOR_WINEPREFIX "${CMAKE_BINARY_DIR}/wine")
set(VELOR_WINE_PORT_DIR "${CMAKE_BINARY_DIR}/wine-ports")
set(VELOR_WINE_ECHO_PORT COM7)
set(VELOR_WINE_SIM_PORT COM12)
# The offscreen platform reads fonts from one folder: DejaVu Sans alone, the font the Linux
# tests measure the designed texts with (a folder with DejaVu Sans Mono in it lends the
# program's "System" font a monospaced face).
find_path(VELOR_DEJAVU_DIR DejaVuSans.ttf PATHS /usr/share/fonts/truetype/dejavu
    NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH REQUIRED)
set(VELOR_FONT_DIR "${CMAKE_BINARY_DIR}/wine-fonts")
file(MAKE_DIRECTORY ${VELOR_FONT_DIR})
foreach(face DejaVuSans.ttf DejaVuSans-Bold.ttf)
    file(CREATE_LINK ${VELOR_DEJAVU_DIR}/${face} ${VELOR_FONT_DIR}/${face} SYMBOLIC)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-env.sh.in ${CMAKE_BINARY_DIR}/wine-env.sh @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

# The COM ports of the serial tests: COM7 sends back every byte, COM12 (two digits: opened only
# as \\.\COM12) is the module simulator. Both are pseudo-terminals made on the Linux side by
# tests/wine/serial-ports.sh, the simulator a native build of velor-modsim (Windows has no
# pseudo-terminals to offer it). wine-ports.sh maps the ports in the Wine prefix.
include(ExternalProject)
set(native_launcher)
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(native_launcher -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
ExternalProject_Add(native_modsim
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/native-modsim
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DVELOR_MODSIM_ONLY=ON -DCMAKE_BUILD_TYPE=Release ${native_launcher}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target velor-modsim
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
set(VELOR_NATIVE_MODSIM ${CMAKE_BINARY_DIR}/native-modsim/tools/modsim/velor-modsim)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-ports.sh.in ${CMAKE_BINARY_DIR}/wine-ports.sh @ONLY)

# Called from tests/: the fixture that plays the ports while the tests that need them run.
function(velor_add_wine_port_fixture)
    add_test(NAME wine_ports_start COMMAND bash ${PROJECT_SOURCE_DIR}/tests/wine/serial-ports.sh
        start ${VELOR_WINE_PORT_DIR} ${VELOR_NATIVE_MODSIM})
    add_test(NAME wine_ports_stop COMMAND bash ${PROJECT_SOURCE_DIR}/tests/wine/serial-ports.sh
        stop ${VELOR_WINE_PORT_DIR})
    set_tests_properties(wine_ports_start PROPERTIES FIXTURES_SETUP WinePorts)
    set_tests_properties(wine_ports_stop PROPERTIES FIXTURES_CLEANUP WinePorts)
endfunction()

# Installs the udev component of the build in BUILD into DESTDIR-rooted temporary trees, once
# with the package's prefix /usr and once with the default /usr/local: the rule belongs where
# udev reads it and nowhere else.
#   cmake -DBUILD=<build dir> -DWORK=<scratch dir> -P InstallUdevRule.cmake
set(rule 70-velor-serial.rules)
file(REMOVE_RECURSE "${WORK}")
foreach(prefix /usr /usr/local)
    set(root "${WORK}/root${prefix}")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${WORK}/root${prefix}
                ${CMAKE_COMMAND} --install ${BUILD} --component udev --prefix ${prefix}
        RESULT_VARIABLE result OUTPUT_QUIET)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "cmake --install --prefix ${prefix} failed: ${result}")
    endif()
    file(GLOB_RECURSE installed RELATIVE "${root}" "${root}/*")
    if(prefix STREQUAL "/usr")
        set(expected "usr/lib/udev/rules.d/${rule}")
    else()
        set(expected "")
    endif()
    if(NOT "${installed}" STREQUAL "${expected}")
        message(FATAL_ERROR "prefix ${prefix}: installed '${installed}', expected '${expected}'")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")

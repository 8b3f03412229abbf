# cmake -DEXE=<dir>/Sentavio.exe -DMSI=<package> -DPRODUCT=<product.cmake>
#       [-DPACKAGE_VERSION=<a.b.c>] -P MakePackage.cmake
#
# Makes the installer package of one Sentavio.exe with wixl, then edits the
# tables where wixl cannot write what the package needs. PRODUCT is the file
# the build writes with the product's name, maker, package version and the
# exe's file version; PACKAGE_VERSION overrides the package version.
# The build calls this for the product; the deployment tests call it for
# packages of other versions.
cmake_minimum_required(VERSION 3.20)

foreach(var EXE MSI PRODUCT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "MakePackage.cmake: ${var} is not set")
    endif()
endforeach()
include(${PRODUCT})
if(DEFINED PACKAGE_VERSION)
    set(VERSION ${PACKAGE_VERSION})
endif()

find_program(WIXL wixl REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)

# Every Sentavio package, old or new, carries this upgrade code: it is how a
# newer package finds the older one it replaces.
set(upgrade_code 6B0E3F4A-2C71-4D8E-9A15-3F2D7C8B1E40)
# One product code per version, derived from it: a package rebuilt at the
# same version is the same product, never a second one beside it.
string(UUID product_code NAMESPACE ${upgrade_code} NAME "${VERSION}" TYPE SHA1 UPPER)

# wixl reads a File's Source relative to its working directory only.
get_filename_component(exe_dir "${EXE}" DIRECTORY)
get_filename_component(exe_name "${EXE}" NAME)
if(NOT exe_name STREQUAL "Sentavio.exe")
    message(FATAL_ERROR "MakePackage.cmake: EXE must name a Sentavio.exe, not ${exe_name}")
endif()
get_filename_component(msi "${MSI}" ABSOLUTE)
file(RELATIVE_PATH icon_file ${exe_dir} ${CMAKE_CURRENT_LIST_DIR}/../res/images/Sentavio.ico)

execute_process(
    COMMAND ${WIXL} --arch x86 -o ${msi}
            -D "ProductName=${NAME}" -D "Manufacturer=${MAKER}" -D "Version=${VERSION}"
            -D "ProductCode=${product_code}" -D "UpgradeCode=${upgrade_code}"
            -D "IconFile=${icon_file}"
            ${CMAKE_CURRENT_LIST_DIR}/Sentavio.wxs
    WORKING_DIRECTORY ${exe_dir}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "wixl could not make ${msi}")
endif()

# What wixl cannot write, in one place. An edit that matches no row changes
# nothing and still succeeds: package-test.sh reads each row back.
set(run_condition "RUNVALUE OR (NOT Installed AND NOT WIX_UPGRADE_DETECTED)")
execute_process(
    COMMAND ${MSIBUILD} ${msi}
    # The exe's file version and language (US English, as its version
    # resource says), so Windows Installer decides by version which is newer.
    -q "UPDATE File SET Version='${EXE_VERSION}', Language='1033' WHERE File='SentavioExe'"
    # A versioned file has no hash row; one would only be ignored.
    -q "DELETE FROM MsiFileHash WHERE File_='SentavioExe'"
    # 4: the key path is the Registry row; 64: transitive, so a repair
    # weighs the condition again and keeps a deleted value deleted.
    -q "UPDATE Component SET Attributes=68 WHERE Component='Autostart'"
    # Write the Run value where it still is, or on a first install; never
    # where the user had it deleted before an upgrade or a repair.
    -q "UPDATE Component SET Condition='${run_condition}' WHERE Component='Autostart'"
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${msi})
    message(FATAL_ERROR "msibuild could not edit ${msi}")
endif()

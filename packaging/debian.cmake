# Debian packages of the install, made by CPack's DEB generator from the install rules'
# components (`bash tools/setup.sh package`, or `cpack -G DEB` in a build configured with
# the prefix /usr):
#   tallymerge                   component Tallymerge: the programs, the report layouts,
#                                icon, desktop entry, metainfo, manual pages and docs
#   libvrexeditbox1              component VrexEditbox: the shared library, its translations
#   libvrexeditbox-dev           component VrexEditboxDev: headers, CMake package, .so link
#   vrexeditbox-designer-plugin  component VrexEditboxDesigner: the Qt Designer plugin
# Dependencies on other packages come from dpkg-shlibdeps; those between these packages
# from the components' dependencies.
set(debianComponents Tallymerge VrexEditbox VrexEditboxDev VrexEditboxDesigner)
set(debianPackages tallymerge libvrexeditbox1 libvrexeditbox-dev vrexeditbox-designer-plugin)
set(debianDir ${CMAKE_CURRENT_SOURCE_DIR}/debian)

# Each package carries the copyright file and the changelog (compressed as Debian keeps it)
# in its own documentation folder, and its lintian overrides where lintian finds them.
set(changelog ${CMAKE_BINARY_DIR}/share/doc/changelog.gz)
add_custom_command(
    OUTPUT ${changelog}
    COMMAND sh -c "gzip -9nc < \"$0\" > \"$1\"" ${debianDir}/changelog ${changelog}
    DEPENDS ${debianDir}/changelog
    VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${changelog})
foreach(component package IN ZIP_LISTS debianComponents debianPackages)
    install(FILES ${debianDir}/copyright ${changelog}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    if(EXISTS ${debianDir}/${package}.lintian-overrides)
        install(FILES ${debianDir}/${package}.lintian-overrides
                DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
                RENAME ${package} COMPONENT ${component})
    endif()
endforeach()

# The changelog's latest entry is this version.
file(STRINGS ${debianDir}/changelog latestEntry LIMIT_COUNT 1)
if(NOT latestEntry MATCHES "^tallymerge \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/debian/changelog does not start with version ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallymerge)
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description starts with its own synopsis (the components' descriptions
# below), not the project's.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_CONTACT
    "Tallymerge maintainers <maintainers@users.noreply.c-seed-27cb9621.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${debianComponents})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE tallymerge)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the edit box library in the build tree (its dependency is the
# component's, the exact version).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_TALLYMERGE_PACKAGE_NAME tallymerge)
set(CPACK_DEBIAN_TALLYMERGE_PACKAGE_SECTION misc)
# The postinst makes the group with addgroup; the sample company's ODBC driver is loaded by
# name through unixODBC, where dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_TALLYMERGE_PACKAGE_DEPENDS "adduser, libsqliteodbc")
set(CPACK_DEBIAN_TALLYMERGE_PACKAGE_CONTROL_EXTRA ${debianDir}/tallymerge/postinst
    ${debianDir}/tallymerge/postrm)
set(CPACK_COMPONENT_TALLYMERGE_DEPENDS VrexEditbox)
set(CPACK_COMPONENT_TALLYMERGE_DESCRIPTION
    "one Order Entry invoice for several shipments of a customer
Tallymerge is the billing clerk's program for Order Entry. It lists the open
orders of the signed-on accounting company with their first shipment, lets a
clerk tick the shipments of one customer, and creates one Order Entry invoice
for all of them, with a prepayment receipt, a delivery charge for small
orders, supervisor credit approval in batch runs, a batch run over the whole
list, printing, and completion of the invoiced orders.
.
The package also has tallymerge-admin (the site's users and the shared
folder), tallymerge-check (the books' auditor) and tallymerge-sample (a site
with a sample company).")

set(CPACK_DEBIAN_VREXEDITBOX_PACKAGE_NAME libvrexeditbox1)
set(CPACK_DEBIAN_VREXEDITBOX_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_VREXEDITBOX_PACKAGE_CONTROL_EXTRA ${debianDir}/libvrexeditbox1/triggers)
set(CPACK_COMPONENT_VREXEDITBOX_DESCRIPTION
    "typed edit box for Qt Widgets
vrexeditbox is a Qt Widgets edit box that takes text, numbers, amounts,
dates, times and codes, typed and checked as the user types, in the user's
locale. This package has the shared library and its translations.")

set(CPACK_DEBIAN_VREXEDITBOXDEV_PACKAGE_NAME libvrexeditbox-dev)
set(CPACK_DEBIAN_VREXEDITBOXDEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_VREXEDITBOXDEV_PACKAGE_DEPENDS "qt6-base-dev")
set(CPACK_COMPONENT_VREXEDITBOXDEV_DEPENDS VrexEditbox)
set(CPACK_COMPONENT_VREXEDITBOXDEV_DESCRIPTION
    "typed edit box for Qt Widgets - development files
vrexeditbox is a Qt Widgets edit box that takes text, numbers, amounts,
dates, times and codes, typed and checked as the user types, in the user's
locale. This package has the headers, the CMake package for
find_package(VrexEditbox) and the translation template.")

set(CPACK_DEBIAN_VREXEDITBOXDESIGNER_PACKAGE_NAME vrexeditbox-designer-plugin)
set(CPACK_DEBIAN_VREXEDITBOXDESIGNER_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_VREXEDITBOXDESIGNER_DEPENDS VrexEditbox)
set(CPACK_COMPONENT_VREXEDITBOXDESIGNER_DESCRIPTION
    "typed edit box for Qt Widgets - Qt Designer plugin
vrexeditbox is a Qt Widgets edit box that takes text, numbers, amounts,
dates, times and codes, typed and checked as the user types, in the user's
locale. This package lets Qt Designer place the edit box in a form and set
its properties.")

include(CPack)

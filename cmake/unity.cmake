# ZOR_UNITY=ON compiles each library's and program's sources in batches (CMake's unity build):
# the Windows and standard headers, and the templates every source instantiates from them, are
# compiled once per batch instead of once per source, a quarter of the compiling. CI builds so;
# the default build compiles each source alone, which also shows that each includes what it uses.
option(ZOR_UNITY "Compile the sources in batches" OFF)
if(ZOR_UNITY)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE 8)
endif()

# Sources compiled alone even so: their file-local helpers share a name with a neighbour's, or
# they include the resource header of the other program.
set(ZOR_UNITY_ALONE
  browse/litrecorddlg_pages.cpp
  browse/termsdlg.cpp
  browse/treecard_edit.cpp
  common/fontchooser.cpp
  common/popupmenu.cpp
  controls/inplacecombo.cpp
  controls/propbox.cpp
  dataaccess/connstr.cpp
  dataaccess/filterexpr.cpp
  dataaccess/rowwrite.cpp
  dataaccess/sortorder.cpp
  dataaccess/sqltranslate.cpp
  dataaccess/varconv.cpp
  import/exchangerecords.cpp
  import/exchangeshared.cpp
  import/exchangesystem.cpp
  mainapp/configsheet_custom.cpp
  mainapp/configsheet_lists.cpp
  mainapp/dbopen.cpp
  mainapp/mapcommands.cpp
  mainapp/templatecmds.cpp
  shapefile/shpparse.cpp
  tests/browse/addquerydlg_tests.cpp
  tests/browse/sysitemdlg_tests.cpp
  tests/browse/treecard_tests.cpp
  tests/core/fieldmask_test.cpp
  tests/core/hostsqlite_test.cpp
  tests/core/itemsave_tests.cpp
  tests/core/recordsave_tests.cpp
  tests/core/sampledb_test.cpp
  tests/core/storedimage_test.cpp
  tests/core/treefill_test.cpp
  tests/core/treemove_tests.cpp
  tests/dataaccess/czechsql_test.cpp
  tests/dataaccess/keyset_test.cpp
  tests/dataaccess/refusals_test.cpp
  tests/dataaccess/varconv_test.cpp
  tests/import/exchangeform_test.cpp
  tests/import/tableimport_test.cpp
  tests/import/tableimportform_test.cpp
  tests/import/targetitems_test.cpp
  tests/import/textsplit_test.cpp
  tests/mainapp/aboutbox_test.cpp
  tests/mainapp/commands_tests.cpp
  tests/mainapp/configdata_tests.cpp
  tests/mainapp/configsheet_tests.cpp
  tests/mainapp/dbopen_tests.cpp
  tests/mainapp/kavlink_tests.cpp
  tests/mainapp/mainform_tests.cpp
  tests/mainapp/maptabs_tests.cpp
  tests/mainapp/protocol_tests.cpp
  tests/mainapp/records_tests.cpp
  tests/mainapp/resources_test.cpp
  tests/mainapp/search_tests.cpp
  tests/mainapp/toolbars_tests.cpp
  tests/mainapp/wssettings_tests.cpp
  tests/map/editgrid_test.cpp
  tests/map/mapprint_test.cpp
  tests/map/render_test.cpp
  tests/map/samplemap_test.cpp
  tests/reports/exportdialogs_test.cpp
  tests/reports/printform_test.cpp
  tests/search/searchdb_tests.cpp
  tests/search/searchwhere_tests.cpp
  tests/structure/schemadb_test.cpp
  tests/support/test_main.cpp
  tests/utilities/structpages_test.cpp
  utilities/levelpage.cpp
)

# After every target is defined: the sources' property is read in the folder of their target.
function(zor_unity_alone)
  if(NOT ZOR_UNITY)
    return()
  endif()
  set(sources)
  foreach(source ${ZOR_UNITY_ALONE})
    list(APPEND sources ${CMAKE_SOURCE_DIR}/${source})
  endforeach()
  get_property(folders DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  set(all ${CMAKE_SOURCE_DIR})
  foreach(folder ${folders})
    get_property(inner DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND all ${folder} ${inner})
  endforeach()
  set_source_files_properties(${sources} DIRECTORY ${all} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
endfunction()

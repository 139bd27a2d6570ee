# The library-loading tests load small modules built here.
set(_wapi_testlib_src ${CMAKE_CURRENT_SOURCE_DIR}/wapi/testlib/wapi_testlib.cpp)
add_library(wapi_testlib MODULE ${_wapi_testlib_src})
add_library(wapi_testlib_refuse_wapi MODULE ${_wapi_testlib_src})
target_compile_definitions(wapi_testlib_refuse_wapi PRIVATE TESTLIB_REFUSE_WAPI=1)
add_library(wapi_testlib_refuse_dll MODULE ${_wapi_testlib_src})
target_compile_definitions(wapi_testlib_refuse_dll PRIVATE TESTLIB_REFUSE_DLL=1)
if(TARGET wapi_system_test)
  add_dependencies(wapi_system_test wapi_testlib wapi_testlib_refuse_wapi wapi_testlib_refuse_dll)
  target_compile_definitions(wapi_system_test PRIVATE
    WAPI_TESTLIB="$<TARGET_FILE:wapi_testlib>"
    WAPI_TESTLIB_REFUSE_WAPI="$<TARGET_FILE:wapi_testlib_refuse_wapi>"
    WAPI_TESTLIB_REFUSE_DLL="$<TARGET_FILE:wapi_testlib_refuse_dll>")
endif()

# The Audio Unit view tests load a bundle laid out as on the real system: <build>/tests/ViewProbe.bundle.
set(_viewprobe_bundle ${CMAKE_CURRENT_BINARY_DIR}/ViewProbe.bundle)
add_library(wapi_view_factory_module MODULE ${CMAKE_CURRENT_SOURCE_DIR}/wapi/testlib/view_factory_module.cpp)
target_link_libraries(wapi_view_factory_module PRIVATE qor_platform)
set_target_properties(wapi_view_factory_module PROPERTIES PREFIX "" SUFFIX "" OUTPUT_NAME ViewProbe
  LIBRARY_OUTPUT_DIRECTORY ${_viewprobe_bundle}/Contents/MacOS)
file(WRITE ${_viewprobe_bundle}/Contents/Info.plist
  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
  "\t<key>CFBundleIdentifier</key>\n\t<string>com.tessmoor.tests.viewprobe</string>\n"
  "\t<key>CFBundleExecutable</key>\n\t<string>ViewProbe</string>\n</dict>\n</plist>\n")
if(TARGET wapi_au_view_gl_test)
  add_dependencies(wapi_au_view_gl_test wapi_view_factory_module)
endif()

# The ini tests make open, flock and read fail on their files.
if(TARGET wapi_ini_files_test)
  target_link_options(wapi_ini_files_test PRIVATE ${QOR_SYSCALL_FAULT_WRAPS})
endif()

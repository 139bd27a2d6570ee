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

# Fuzz targets that need more than the editor library. The targets are made after the rules
# files are read.
function(_fuzz_extra_links)
  if(TARGET fuzz_synth_sim_lines_fuzz)
    target_link_libraries(fuzz_synth_sim_lines_fuzz PRIVATE synth_sim_core)
  endif()
endfunction()
cmake_language(DEFER CALL _fuzz_extra_links)

# The stand-in host's sources, and the framework's test bundle it opens.
function(_fuzz_qor_host)
  if(TARGET fuzz_qor_host_lines_fuzz)
    target_sources(fuzz_qor_host_lines_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tools/qor-host/host.cpp
                                                    ${PROJECT_SOURCE_DIR}/tools/qor-host/props.cpp)
    target_include_directories(fuzz_qor_host_lines_fuzz PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/platform)
    target_link_libraries(fuzz_qor_host_lines_fuzz PRIVATE qor_platform ${CMAKE_DL_LIBS})
    add_dependencies(fuzz_qor_host_lines_fuzz QORStandinBundle)
  endif()
endfunction()
cmake_language(DEFER CALL _fuzz_qor_host)

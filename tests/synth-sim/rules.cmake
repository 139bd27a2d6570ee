# Tests of the synthesizer simulator link its core library; the JACK tests start the program
# itself, so it is built first and its path handed over.
file(GLOB _synth_sim_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cpp)
foreach(src ${_synth_sim_tests})
  get_filename_component(stem ${src} NAME_WE)
  set(exe "synth_sim_${stem}")
  if(TARGET ${exe})
    target_link_libraries(${exe} PRIVATE synth_sim_core)
    add_dependencies(${exe} synth-sim)
    target_compile_definitions(${exe} PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
  endif()
endforeach()
# The chart test reads the build's listing of the project's chart.
if(TARGET synth_sim_synth_chart_test AND TARGET qor_config_resources)
  add_dependencies(synth_sim_synth_chart_test qor_config_resources)
endif()

# The fuzz targets are made after the rules files are read.
function(_synth_sim_link_fuzz)
  if(TARGET fuzz_synth_sim_sysex_fuzz)
    target_link_libraries(fuzz_synth_sim_sysex_fuzz PRIVATE synth_sim_core)
  endif()
endfunction()
cmake_language(DEFER CALL _synth_sim_link_fuzz)

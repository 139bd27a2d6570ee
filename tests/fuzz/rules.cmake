# Fuzz targets that need more than the editor library. The targets are made after the rules
# files are read.
function(_fuzz_extra_links)
  if(TARGET fuzz_synth_sim_lines_fuzz)
    target_link_libraries(fuzz_synth_sim_lines_fuzz PRIVATE synth_sim_core)
  endif()
endfunction()
cmake_language(DEFER CALL _fuzz_extra_links)

# The configuration tests read what the build makes: the enciphered documents, the bitmaps, the
# bundle with its resources and the probe library that asks for resources from inside a library.
foreach(t editor_config_loading_test)
  if(TARGET ${t})
    add_dependencies(${t} qor_config_resources qor_image_resources qor_bundle_probe qor_bundle_resources QORBundle)
  endif()
endforeach()
# The controller's host test opens the real bundle through qor-host.
if(TARGET editor_controller_host_test)
  add_dependencies(editor_controller_host_test qor-host QORBundle)
endif()
# The in-process synthesizer of the worker tests is the simulator's own core.
if(TARGET editor_worker_insynth_thread_test)
  target_link_libraries(editor_worker_insynth_thread_test PRIVATE synth_sim_core)
endif()
# The services test runs the build's encipherer.
if(TARGET editor_config_services_test)
  add_dependencies(editor_config_services_test tea-encipher)
endif()
# The chart test reads the bundle's configuration and compares it with the generator's own
# expansion of the chart; the editor library gives the generator its tables.
if(TARGET editor_config_chart_test)
  add_dependencies(editor_config_chart_test qor_bundle_resources QORBundle)
  target_link_libraries(editor_config_chart_test PRIVATE qor_make_config_chart qor_editor)
endif()
# The controller's editor tests build the editor from the bundle's configuration and images.
foreach(t editor_controller_editor_test editor_controller_readouts_thread_test editor_controller_ports_jack_test
         editor_controller_dispatch_jack_test editor_controller_recall_test editor_controller_recall_thread_test)
  if(TARGET ${t})
    add_dependencies(${t} QORBundle)
  endif()
endforeach()
# The clock tests read the tempo list of the bundle's configuration.
if(TARGET editor_worker_clock_thread_test)
  add_dependencies(editor_worker_clock_thread_test QORBundle)
endif()
# Over JACK the clock plays into the simulator program.
if(TARGET editor_worker_clock_jack_test)
  add_dependencies(editor_worker_clock_jack_test QORBundle synth-sim)
  target_link_libraries(editor_worker_clock_jack_test PRIVATE synth_sim_core)
  target_compile_definitions(editor_worker_clock_jack_test PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
endif()
# The tab and read-out tests build the editor from the bundle's configuration.
foreach(t editor_controller_tabs_test editor_controller_tabs_thread_test)
  if(TARGET ${t})
    add_dependencies(${t} QORBundle)
  endif()
endforeach()
if(TARGET editor_controller_tabs_test)
  target_link_libraries(editor_controller_tabs_test PRIVATE qor_pngwriter)
endif()
# The edits tests play the configured controller into the simulator's own core.
foreach(t editor_controller_edits_test editor_controller_edits_thread_test editor_controller_dispatch_test
         editor_controller_dispatch_thread_test)
  if(TARGET ${t})
    add_dependencies(${t} QORBundle)
    target_link_libraries(${t} PRIVATE synth_sim_core)
  endif()
endforeach()
# Over JACK the bundle runs in qor-host against the simulator program.
if(TARGET editor_controller_edits_jack_test)
  add_dependencies(editor_controller_edits_jack_test QORBundle qor-host synth-sim)
  target_link_libraries(editor_controller_edits_jack_test PRIVATE synth_sim_core)
  target_compile_definitions(editor_controller_edits_jack_test PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
endif()
# The enquiry tests play the configured controller into the simulator's own core.
if(TARGET editor_enquiry_insynth_thread_test)
  add_dependencies(editor_enquiry_insynth_thread_test QORBundle)
  target_link_libraries(editor_enquiry_insynth_thread_test PRIVATE synth_sim_core)
endif()
# The router's tests take the parameter ranges from the bundle's configuration.
if(TARGET editor_sysex_router_test)
  add_dependencies(editor_sysex_router_test QORBundle)
endif()
# The enquiry over JACK: the bundle in qor-host against the simulator program.
if(TARGET editor_enquiry_jack_test)
  add_dependencies(editor_enquiry_jack_test QORBundle qor-host synth-sim)
  target_link_libraries(editor_enquiry_jack_test PRIVATE synth_sim_core)
  target_compile_definitions(editor_enquiry_jack_test PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
endif()
# The program dump against the simulator's own core, and over JACK against the program.
if(TARGET editor_program_insynth_thread_test)
  add_dependencies(editor_program_insynth_thread_test QORBundle)
  target_link_libraries(editor_program_insynth_thread_test PRIVATE synth_sim_core)
endif()
if(TARGET editor_program_jack_test)
  add_dependencies(editor_program_jack_test QORBundle synth-sim)
  target_link_libraries(editor_program_jack_test PRIVATE synth_sim_core)
  target_compile_definitions(editor_program_jack_test PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
endif()
# The randomizer walks the editor built from the bundle's configuration.
if(TARGET editor_program_randomizer_test)
  add_dependencies(editor_program_randomizer_test QORBundle)
endif()
if(TARGET editor_program_randomizer_jack_test)
  add_dependencies(editor_program_randomizer_jack_test QORBundle synth-sim)
  target_link_libraries(editor_program_randomizer_jack_test PRIVATE synth_sim_core)
  target_compile_definitions(editor_program_randomizer_jack_test PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
endif()
# The performance tests take the parameter ranges and lists from the bundle's configuration.
if(TARGET editor_performance_dump_test)
  add_dependencies(editor_performance_dump_test QORBundle)
endif()
if(TARGET editor_performance_insynth_thread_test)
  add_dependencies(editor_performance_insynth_thread_test QORBundle)
  target_link_libraries(editor_performance_insynth_thread_test PRIVATE synth_sim_core)
endif()
# The performance over JACK: the configured controller against the simulator program.
if(TARGET editor_performance_jack_test)
  add_dependencies(editor_performance_jack_test QORBundle synth-sim)
  target_link_libraries(editor_performance_jack_test PRIVATE synth_sim_core)
  target_compile_definitions(editor_performance_jack_test PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
endif()

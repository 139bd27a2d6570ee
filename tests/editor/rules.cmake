# What an editor test needs besides its sources. NEEDS: targets built first. LINK: libraries.
# SIM: the simulator program, built first and named to the test as SYNTH_SIM_EXE.
function(qor_editor_tests_need)
  cmake_parse_arguments(ARG "SIM" "" "TESTS;NEEDS;LINK" ${ARGN})
  foreach(t ${ARG_TESTS})
    if(NOT TARGET ${t})
      continue()
    endif()
    if(ARG_NEEDS)
      add_dependencies(${t} ${ARG_NEEDS})
    endif()
    if(ARG_LINK)
      target_link_libraries(${t} PRIVATE ${ARG_LINK})
    endif()
    if(ARG_SIM)
      add_dependencies(${t} synth-sim)
      target_compile_definitions(${t} PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
    endif()
  endforeach()
endfunction()

# The configuration tests read what the build makes: the enciphered documents, the bitmaps, the
# bundle with its resources and the probe library that asks for resources from inside a library.
qor_editor_tests_need(TESTS editor_config_loading_test
  NEEDS qor_config_resources qor_image_resources qor_bundle_probe qor_bundle_resources QORBundle)
# The services test runs the build's encipherer.
qor_editor_tests_need(TESTS editor_config_services_test NEEDS tea-encipher)
# The chart test reads the bundle's configuration and compares it with the generator's own
# expansion of the chart; the editor library gives the generator its tables.
qor_editor_tests_need(TESTS editor_config_chart_test NEEDS qor_bundle_resources QORBundle
  LINK qor_make_config_chart qor_editor)
# The controller's host test opens the real bundle through qor-host.
qor_editor_tests_need(TESTS editor_controller_host_test NEEDS qor-host QORBundle)
# The in-process synthesizer of the worker tests is the simulator's own core.
qor_editor_tests_need(TESTS editor_worker_insynth_thread_test LINK synth_sim_core)
qor_editor_tests_need(TESTS editor_controller_tabs_test editor_editor_panels_test editor_device_menus_test
  LINK qor_pngwriter)

# Tests that build the editor from the bundle's configuration and images.
qor_editor_tests_need(NEEDS QORBundle TESTS
  editor_controller_editor_test editor_controller_readouts_thread_test editor_controller_ports_jack_test
  editor_controller_dispatch_jack_test editor_controller_recall_test
  editor_worker_clock_thread_test editor_controller_tabs_test editor_controller_tabs_thread_test
  editor_sysex_router_test editor_program_randomizer_test editor_performance_dump_test
  editor_library_requests_test editor_librarian_view_test
  editor_librarian_view_thread_test editor_librarian_mode_test editor_librarian_mode_thread_test
  editor_short_messages_thread_test editor_librarian_number_menus_test editor_librarian_menus_thread_test
  editor_librarian_bank_edit_menu_test editor_librarian_bank_name_menus_test
  editor_librarian_bank_edit_menu_thread_test editor_librarian_dispatch_test editor_editor_panels_test)
# ... and play it into the simulator's own core, in process.
qor_editor_tests_need(NEEDS QORBundle LINK synth_sim_core TESTS
  editor_controller_edits_test editor_controller_edits_thread_test editor_controller_dispatch_test
  editor_controller_dispatch_thread_test editor_enquiry_insynth_thread_test editor_program_insynth_thread_test
  editor_performance_insynth_thread_test editor_library_requests_insynth_thread_test
  editor_library_writes_insynth_thread_test editor_librarian_slot_menus_insynth_thread_test
  editor_controller_process_test editor_controller_process_thread_test editor_request_gate_insynth_thread_test
  editor_request_sequences_insynth_thread_test
  editor_controller_render_sends_thread_test editor_device_menus_thread_test editor_device_menus_test
  editor_controller_recall_thread_test editor_program_change_thread_test)
# ... and against the simulator program over JACK, the controller in process.
qor_editor_tests_need(SIM NEEDS QORBundle LINK synth_sim_core TESTS
  editor_worker_clock_jack_test editor_program_jack_test editor_program_randomizer_jack_test
  editor_performance_jack_test editor_library_requests_jack_test editor_program_change_jack_test
  editor_library_writes_jack_test editor_librarian_menus_jack_test editor_librarian_bank_perf_jack_test
  editor_port_choice_jack_test)
# ... and over JACK with the bundle in qor-host.
qor_editor_tests_need(SIM NEEDS QORBundle qor-host LINK synth_sim_core TESTS
  editor_controller_edits_jack_test editor_controller_recall_jack_test editor_librarian_grid_host_jack_test
  editor_enquiry_jack_test editor_short_messages_jack_test editor_librarian_menus_host_jack_test
  editor_librarian_bank_edit_host_jack_test editor_controller_process_jack_test
  editor_librarian_bank_store_host_jack_test)
qor_editor_tests_need(TESTS editor_librarian_dispatch_host_jack_test NEEDS QORBundle qor-host)
# The image decode test makes the PNG reader fail on the threads it chooses.
if(TARGET editor_image_decode_thread_test)
  target_link_options(editor_image_decode_thread_test PRIVATE "LINKER:--wrap=_Z12RAST_LoadPNGPKcP12RAST_IBitmap")
endif()
# Closing and opening instances while the synthesizer streams waits for the server's cycle, which
# a loaded machine stretches.
if(TARGET editor_controller_ports_jack_test)
  set_tests_properties(editor_controller_ports_jack_test PROPERTIES TIMEOUT 200)
endif()

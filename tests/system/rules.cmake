# The system tests run the real bundle in qor-host against the simulator program.
file(GLOB _system_jack_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/system/*_jack_test.cpp)
foreach(src ${_system_jack_tests})
  get_filename_component(stem ${src} NAME_WE)
  if(TARGET system_${stem})
    add_dependencies(system_${stem} QORBundle qor-host synth-sim)
    target_link_libraries(system_${stem} PRIVATE synth_sim_core)
    target_compile_definitions(system_${stem} PRIVATE SYNTH_SIM_EXE="$<TARGET_FILE:synth-sim>")
  endif()
endforeach()
# Two hundred instances opened and closed: longer than the other system tests.
if(TARGET system_close_during_bank_request_jack_test)
  set_tests_properties(system_close_during_bank_request_jack_test PROPERTIES TIMEOUT 400)
endif()
# The shared bitmaps test builds two editors from the bundle in process.
if(TARGET system_shared_bitmaps_test)
  add_dependencies(system_shared_bitmaps_test QORBundle)
endif()
# Five seeded sequences of departures and returns on both JACK paths (two under the sanitizers),
# each with its own host: about a minute and a half. scripts/follow-seeds.sh and QOR_FOLLOW_SEED run any other.
set_tests_properties(system_device_follow_random_jack_test PROPERTIES TIMEOUT 240)
# Departures and returns and recalls whose sends are undone and paid again, the host rendering, and
# the synthesizer killed on a server of the test's own, on both JACK paths: about two and a half minutes.
set_tests_properties(system_device_follow_jack_test PROPERTIES TIMEOUT 240)
# The program that holds the synthesizer's names while it is away.
add_executable(qor-port-holder ${CMAKE_CURRENT_SOURCE_DIR}/system/port_holder_main.cpp)
target_link_libraries(qor-port-holder PRIVATE PkgConfig::JACK Threads::Threads)
foreach(t system_device_follow_random_jack_test system_device_follow_jack_test)
  add_dependencies(${t} qor-port-holder)
  target_compile_definitions(${t} PRIVATE PORT_HOLDER_EXE="$<TARGET_FILE:qor-port-holder>")
endforeach()

# The host tests run the real bundle through qor-host.
foreach(t integration_au_host_test integration_au_properties_test integration_editor_host_test)
  if(TARGET ${t})
    add_dependencies(${t} qor-host QORStandinBundle)
  endif()
endforeach()

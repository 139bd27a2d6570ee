# The chart test compares what the build made with a fresh run of the generator.
if(TARGET qor_make_config_chart_test)
  add_dependencies(qor_make_config_chart_test qor_config_resources)
endif()

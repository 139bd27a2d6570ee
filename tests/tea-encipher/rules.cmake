# The artwork tests draw single images with the tool's own library and read what the build drew.
if(TARGET tea_encipher_artwork_test)
  target_link_libraries(tea_encipher_artwork_test PRIVATE qor_artwork qor_pngwriter)
  add_dependencies(tea_encipher_artwork_test qor_image_resources qor-make-images)
endif()

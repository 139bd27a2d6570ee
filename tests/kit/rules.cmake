# The safe writer's tests make link, renameat2 and umask fail or count them.
if(TARGET kit_safefile_test)
  target_link_options(kit_safefile_test PRIVATE ${QOR_SYSCALL_FAULT_WRAPS})
endif()

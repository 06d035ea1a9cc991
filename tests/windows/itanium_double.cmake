# The wrong module on purpose: the plug-in's own sources built for Windows
# with the SDK declared in its natural g++ (Itanium) form, as if nobody had
# minded the host's Microsoft C++ ABI. Its devices' operations sit one slot
# off (two destructor slots) and it takes every IHostResult back in a
# register instead of through the caller's result pointer. The reference host
# must refuse it; the test that runs it there expects a failure.
get_target_property(itanium_double_sources varnix_plugin_objects SOURCES)
add_library(varnix_itanium_double MODULE ${itanium_double_sources}
  ${CMAKE_SOURCE_DIR}/plugin/exports.def)
target_compile_definitions(varnix_itanium_double PRIVATE VARNIX_HOST_SDK_ITANIUM_SHAPED)
target_link_libraries(varnix_itanium_double PRIVATE varnix_includes varnix_boost Threads::Threads
  synchronization winmm)
set_target_properties(varnix_itanium_double PROPERTIES
  OUTPUT_NAME VarnixViconPlugin PREFIX "" SUFFIX ".vdd"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/itanium)
# The station beside it, as beside the real module.
add_custom_command(TARGET varnix_itanium_double POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:VarnixAPI2>
          ${CMAKE_BINARY_DIR}/bin/itanium/)

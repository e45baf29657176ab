# vekwindows: every view joined to the debugger's main window (menu ids,
# the stop location, refreshes after commands and data changes).
if(TARGET vekviews AND TARGET vekmachinehosts AND TARGET vekvarviews)
  add_library(vekwindows STATIC ${CMAKE_CURRENT_LIST_DIR}/windows.cpp ${CMAKE_CURRENT_LIST_DIR}/sourcelines.cpp)
  target_link_libraries(vekwindows PUBLIC vekviews vekmachinehosts vekvarviews)
  set_target_properties(vekwindows PROPERTIES UNITY_BUILD OFF AUTOMOC OFF)
endif()

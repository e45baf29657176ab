# vekmachinemodel: memory windows (lines, scrolling, clicks, editing, dumps),
# the Registers and Stack windows' texts and the Disassembly pane; no Qt.
add_library(vekmachinemodel STATIC
  ${CMAKE_CURRENT_LIST_DIR}/machinemodel/memwin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/machinemodel/regwin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/machinemodel/stackwin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/machinemodel/disasm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/machinemodel/bind.cpp)
target_include_directories(vekmachinemodel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vekmachinemodel PUBLIC vekdata vekcontrol)

# vekmachineviews: the widgets over it (Qt 6 Widgets).
find_package(Qt6 QUIET COMPONENTS Widgets)
if(Qt6_FOUND)
  add_library(vekmachineviews STATIC ${CMAKE_CURRENT_LIST_DIR}/machineviews.cpp
              ${CMAKE_CURRENT_LIST_DIR}/machinedialogs.cpp)
  target_link_libraries(vekmachineviews PUBLIC vekmachinemodel Qt6::Widgets)
  if(TARGET vekshell)
    target_link_libraries(vekmachineviews PUBLIC vekshell)   # the cycle-counter edit
  endif()
  set_target_properties(vekmachineviews PROPERTIES UNITY_BUILD OFF AUTOMOC OFF)
  target_compile_definitions(vekmachineviews PUBLIC QT_NO_KEYWORDS)
endif()

# vekmachinehosts: the windows in the debugger's main window.
if(TARGET vekmachineviews AND TARGET vekshell)
  add_library(vekmachinehosts STATIC ${CMAKE_CURRENT_LIST_DIR}/machinehosts.cpp ${CMAKE_CURRENT_LIST_DIR}/machineexports.cpp)
  target_link_libraries(vekmachinehosts PUBLIC vekmachineviews vekshell)
  set_target_properties(vekmachinehosts PROPERTIES UNITY_BUILD OFF AUTOMOC OFF)
endif()

# vekviewsmodel: list text, source files (path, loading, colouring), source
# line layout, search and event lines; no Qt.
file(GLOB vekviewsmodel_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/model/*.cpp)
add_library(vekviewsmodel STATIC ${vekviewsmodel_sources})
target_include_directories(vekviewsmodel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vekviewsmodel PUBLIC vekcontrol veksupport ppcisa platform toollib)

# vekviews: the list and source windows (Qt 6 Widgets), over the shell.
if(TARGET vekshell)
  add_library(vekviews STATIC ${CMAKE_CURRENT_LIST_DIR}/qt/textpane.cpp ${CMAKE_CURRENT_LIST_DIR}/qt/sourcepane.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/qt/pathedit.cpp ${CMAKE_CURRENT_LIST_DIR}/qt/browsers.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/qt/eventdialogs.cpp ${CMAKE_CURRENT_LIST_DIR}/qt/sourceexports.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/qt/sourcefuncs.cpp ${CMAKE_CURRENT_LIST_DIR}/qt/pickdialogs.cpp
                              ${CMAKE_CURRENT_LIST_DIR}/qt/listprint.cpp)
  target_link_libraries(vekviews PUBLIC vekshell vekviewsmodel)
  set_target_properties(vekviews PROPERTIES UNITY_BUILD OFF)
endif()

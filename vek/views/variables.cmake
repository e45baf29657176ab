# vekvarmodel: variable texts and formats, variable trees, and the texts of
# the variable windows, monitors and aggregates; no Qt.
add_library(vekvarmodel STATIC ${CMAKE_CURRENT_LIST_DIR}/varmodel/vartree.cpp
            ${CMAKE_CURRENT_LIST_DIR}/varmodel/varwins.cpp ${CMAKE_CURRENT_LIST_DIR}/varmodel/montree.cpp
            ${CMAKE_CURRENT_LIST_DIR}/varmodel/projtree.cpp ${CMAKE_CURRENT_LIST_DIR}/varmodel/exprpopup.cpp
            ${CMAKE_CURRENT_LIST_DIR}/varmodel/varbind.cpp)
target_include_directories(vekvarmodel PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(vekvarmodel PUBLIC vekexpr vekexec vekdebug veksupport)

# vekvarviews: the tree widgets over it (Qt 6 Widgets).
find_package(Qt6 QUIET COMPONENTS Widgets)
if(Qt6_FOUND)
  add_library(vekvarviews STATIC ${CMAKE_CURRENT_LIST_DIR}/varviews.cpp ${CMAKE_CURRENT_LIST_DIR}/varwindows.cpp
              ${CMAKE_CURRENT_LIST_DIR}/projectexports.cpp)
  target_link_libraries(vekvarviews PUBLIC vekvarmodel vekext Qt6::Widgets)
  set_target_properties(vekvarviews PROPERTIES UNITY_BUILD OFF AUTOMOC OFF)
  target_compile_definitions(vekvarviews PUBLIC QT_NO_KEYWORDS)
endif()

list(APPEND QB_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/fileattr.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exclusivefile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/localtime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messageport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shellport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parallel.cpp
)
list(APPEND QB_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/desktopports.cpp
)

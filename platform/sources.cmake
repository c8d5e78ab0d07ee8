list(APPEND QB_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/fileattr.cpp
  ${CMAKE_CURRENT_LIST_DIR}/posixfilesystem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exclusivefile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/localtime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messageport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shellport.cpp
)
list(APPEND QB_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/desktopports.cpp
)

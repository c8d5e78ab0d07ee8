list(APPEND QB_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/listtext.cpp
)
list(APPEND QB_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/quillbrookapp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/quillbrookdlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dlgunits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/menus.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listcommands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/desktopservices.cpp
)

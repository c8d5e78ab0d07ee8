list(APPEND QB_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/settingscheck.cpp
)
list(APPEND QB_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dlgcreate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/editcommands.cpp
)

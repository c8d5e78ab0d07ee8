list(APPEND QB_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/dircommands.cpp
)

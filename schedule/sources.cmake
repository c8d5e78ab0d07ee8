list(APPEND QB_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/scanformat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/calendar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/daterules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/schedulefile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/listload.cpp
)
list(APPEND QB_UI_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/pausecommand.cpp
)

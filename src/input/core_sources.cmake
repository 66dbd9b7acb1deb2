set(INPUT_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/control_protocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_handlers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keymap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pointer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spare_key_pool.cpp
)

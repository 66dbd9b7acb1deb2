# The portable input core: the control protocol and loop, pointer and
# keyboard rules, keysyms, the Wayland keymap text, the spare-key pool and
# the typist that lends its keys.
set(INPUT_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/control_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/control_protocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/input_handlers.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keyboard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keymap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/keysyms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lowering.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pointer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_input_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spare_key_pool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/typist.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xkb_keymap.cpp
)

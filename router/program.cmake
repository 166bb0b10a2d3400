# The Router program. Included by router/CMakeLists.txt once main.cpp exists.
find_package(CLI11 CONFIG REQUIRED)

add_executable(Router ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(Router PRIVATE plenvar_router_app CLI11::CLI11 Threads::Threads)
# With the window built, Router opens it whenever a display is available.
if(TARGET plenvar_router_gui)
  target_link_libraries(Router PRIVATE plenvar_router_gui)
endif()
install(TARGETS Router RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

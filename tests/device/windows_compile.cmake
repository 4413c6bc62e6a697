# Compiles the core for Windows with a cross compiler, so the driver channel and the core stay
# buildable where the tool meets the device in the field. Run by CTest with -DCXX= -DROOT=.
file(GLOB sources ${ROOT}/device/*.cpp ${ROOT}/settings/*.cpp)
list(FILTER sources EXCLUDE REGEX "(socket_channel|unix_socket)\\.cpp$")
# Needs nlohmann-json, which only the Windows dependency prefix has: `make win` builds it.
list(FILTER sources EXCLUDE REGEX "settings_document\\.cpp$")
foreach(source ${sources})
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror -I${ROOT}
            -I${EXTRA_INCLUDE} ${source}
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${source} does not compile for Windows:\n${err}")
  endif()
endforeach()
list(LENGTH sources count)
message(STATUS "${count} core sources compile for Windows")

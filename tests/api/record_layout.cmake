# Compiles host_api.h as it stands (it must compile) and with one declaration changed at a time
# (each must be refused by the layout checks of this bitness, host_api_checks.h beside it). A change is listed with the
# bitnesses whose layout it alters: some moves vanish into alignment padding in one of the two.
# In the table, @ stands for a semicolon and \\n for a line end.
cmake_minimum_required(VERSION 3.25)
set(mutations
  "both|    void* displayPixels@\\n|"
  "both|    int32_t iCCprofileSize@|    int64_t iCCprofileSize@"
  "both|    Boolean target@\\n    Boolean shown@|    int16_t target@\\n    Boolean shown@"
  "both|    RecoverSpaceProc recoverSpaceProc@\\n|"
  "both|    int16_t playInfo@    // 0 no dialog, 1 show the dialog, 2 silent|    int16_t playInfo, extra@"
  "both|    VPoint tileOrigin@\\n    int16_t channelType@|    int16_t channelType@"
  "both|    PIAnyProc getAliasProc@\\n|"
  "both|    PIAnyProc putAliasProc@\\n|"
  "both|    char reserved[244]@|    char reserved[236]@"
  "64|    void* data@\\n    int32_t rowBits@|    void* data@\\n    intptr_t rowBits@"
  "64|    int32_t treatment@\\n|    int64_t treatment@\\n"
)
file(READ ${HEADER} original)
file(MAKE_DIRECTORY ${WORK})
get_filename_component(header_dir ${HEADER} DIRECTORY)
file(COPY ${header_dir}/host_api_checks.h DESTINATION ${WORK})
function(try_compile_header text out)
  file(WRITE ${WORK}/host_api.h "${text}")
  file(WRITE ${WORK}/probe.cpp "#include \"host_api.h\"\n")
  # Compiled to an object, not only checked: the Windows ARM64 compiler takes no -fsyntax-only.
  execute_process(COMMAND ${COMPILER} -std=c++20 -c -o ${WORK}/probe.o -Wno-multichar ${WORK}/probe.cpp
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  set(${out} ${status} PARENT_SCOPE)
endfunction()

try_compile_header("${original}" status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "host_api.h does not compile as it stands")
endif()
string(ASCII 59 semicolon)
set(missed 0)
foreach(mutation IN LISTS mutations)
  string(REPLACE "|" ";" parts "${mutation}|")
  list(GET parts 0 bits)
  list(GET parts 1 from)
  list(GET parts 2 to)
  foreach(text from to)
    string(REPLACE "@" "${semicolon}" ${text} "${${text}}")
    string(REPLACE "\\n" "\n" ${text} "${${text}}")
  endforeach()
  if(NOT bits STREQUAL "both" AND NOT bits STREQUAL "${BITS}")
    continue()
  endif()
  string(FIND "${original}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "declaration not found: ${from}")
  endif()
  string(REPLACE "${from}" "${to}" changed "${original}")
  try_compile_header("${changed}" status)
  if(status EQUAL 0)
    message(SEND_ERROR "a ${BITS}-bit build accepts the changed declaration: ${from}")
    math(EXPR missed "${missed} + 1")
  endif()
endforeach()
if(missed GREATER 0)
  message(FATAL_ERROR "${missed} record changes went unnoticed")
endif()

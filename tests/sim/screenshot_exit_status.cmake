# heatlume-sim's --screenshot as a script sees it: the picture written and
# status 0, or, where it cannot be written, "cannot write" and a status that
# says the run failed.
#   cmake -DPROGRAM=heatlume-sim -DWORK=dir [-DEMULATOR=qemu-arm] -P screenshot_exit_status.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(shot "${WORK}/shot.png" "${WORK}/no-such-folder/shot.png")
  execute_process(COMMAND ${EMULATOR} "${PROGRAM}" --headless --run-for 0.5 --root "${WORK}/board"
                          --screenshot "${shot}"
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err TIMEOUT 60)
  if(shot MATCHES "no-such-folder")
    if(NOT rc EQUAL 1 OR NOT err MATCHES "cannot write")
      message(FATAL_ERROR "unwritable screenshot: status '${rc}', stderr:\n${err}")
    endif()
  elseif(NOT rc EQUAL 0 OR NOT EXISTS "${shot}")
    message(FATAL_ERROR "screenshot: status '${rc}', stderr:\n${err}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")

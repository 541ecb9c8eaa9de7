# cmake -DPROGRAM=heatlume-sim -DOUT=heatlume-sim.1 -DVERSION=x.y.z -P manpage.cmake
# The manual page is the program's own --help text, so the two never differ:
# the usage line, the description and one entry per option (continuation
# lines are the ones indented to the description column).
cmake_policy(SET CMP0007 NEW)
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${PROGRAM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT help MATCHES "^Usage: ")
  message(FATAL_ERROR "manpage: '${PROGRAM} --help' gave ${rc}:\n${help}")
endif()
# The default root lies in the home of whoever builds; the page names it as
# every reader's own.
if(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "" AND NOT "$ENV{HOME}" STREQUAL "/")
  string(REPLACE "$ENV{HOME}/" "~/" help "${help}")
endif()

function(roff_escape in out)
  string(REPLACE "\\" "\\e" s "${in}")
  string(REPLACE "-" "\\-" s "${s}")
  if(s MATCHES "^[.']")
    set(s "\\&${s}")
  endif()
  set(${out} "${s}" PARENT_SCOPE)
endfunction()

string(REPLACE ";" "\\;" help "${help}")
string(REPLACE "\n" ";" lines "${help}")
list(POP_FRONT lines usage description)
string(REGEX REPLACE "^Usage: [^ ]+ *" "" usage "${usage}")
get_filename_component(name "${PROGRAM}" NAME)
string(TOUPPER "${name}" title)
roff_escape("${description}" desc)
roff_escape("${name}" ename)
set(page "")
string(APPEND page ".TH ${title} 1 \"\" \"${name} ${VERSION}\" \"User Commands\"\n"
                   ".SH NAME\n${ename} \\- ${desc}\n"
                   ".SH SYNOPSIS\n.B ${ename}\n${usage}\n"
                   ".SH DESCRIPTION\n${desc}\n.SH OPTIONS\n")
foreach(line IN LISTS lines)
  if(line MATCHES "^  (--[^ ]+)( [^ ]+)?  +(.*)$")
    roff_escape("${CMAKE_MATCH_1}" opt)
    set(value "${CMAKE_MATCH_2}")
    roff_escape("${CMAKE_MATCH_3}" text)
    if(value)
      string(STRIP "${value}" value)
      string(APPEND page ".TP\n.BI \"${opt} \" ${value}\n${text}\n")
    else()
      string(APPEND page ".TP\n.B ${opt}\n${text}\n")
    endif()
  elseif(line MATCHES "^   +(.*)$")
    roff_escape("${CMAKE_MATCH_1}" text)
    string(APPEND page "${text}\n")
  endif()
endforeach()
string(APPEND page ".SH FILES\n.TP\n.I ~/.local/share/${name}/board\n"
                   "the simulated board's settings and SD card, unless \\-\\-root names another\n")
file(WRITE "${OUT}" "${page}")

# Writes the --help text of a program and of each of its subcommands into
# one file, for the package's documentation.
#   cmake -DPROGRAM=... -DSUBCOMMANDS=a,b -DOUTPUT=... -P HelpText.cmake
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed: ${rc}")
endif()
string(REPLACE "," ";" SUBCOMMANDS "${SUBCOMMANDS}")
foreach(sub IN LISTS SUBCOMMANDS)
  execute_process(COMMAND ${PROGRAM} ${sub} --help OUTPUT_VARIABLE subtext RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${sub} --help failed: ${rc}")
  endif()
  string(APPEND text "\n${subtext}")
endforeach()
file(WRITE ${OUTPUT} "${text}")

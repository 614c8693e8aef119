# SPDX-License-Identifier: GPL-3.0-or-later
# Run with DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset, as on a server:
# the chart is still drawn into a picture, and the window says why it cannot
# start rather than aborting.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CONVERT} --quiet --output ${WORK}/log.csv ${LOG} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "conversion failed: ${status}")
endif()

execute_process(COMMAND ${TARNIMEX} --chart ${WORK}/log.csv --export ${WORK}/chart.png
                RESULT_VARIABLE status ERROR_VARIABLE errors)
file(READ ${WORK}/chart.png magic LIMIT 4 HEX)
if(NOT status EQUAL 0 OR NOT magic STREQUAL "89504e47")
  message(FATAL_ERROR "export without a display: status ${status}, magic '${magic}'\n${errors}")
endif()

execute_process(COMMAND ${TARNIMEX} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 1 OR NOT errors MATCHES "no display")
  message(FATAL_ERROR "window without a display: status ${status}\n${errors}")
endif()

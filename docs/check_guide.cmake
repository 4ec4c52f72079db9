# Every picture and every file the user's guide links to exists. Pictures
# still to come are written as "<!-- pending: NAME.png -->" comments, which
# are no links and are not checked; scripts/screenshots.sh turns them into
# pictures once the tests make them.
#
#   cmake -DGUIDE=docs/guide.md -P docs/check_guide.cmake
if(NOT GUIDE OR NOT EXISTS "${GUIDE}")
  message(FATAL_ERROR "no guide at '${GUIDE}'")
endif()
get_filename_component(folder "${GUIDE}" DIRECTORY)
file(READ "${GUIDE}" text)
# Comments are no part of the page.
string(REGEX REPLACE "<!--[^>]*-->" "" text "${text}")
# Square brackets would hold CMake's lists together: the links are marked
# "@(" and the brackets dropped.
string(REPLACE "](" "@(" text "${text}")
string(REPLACE "[" "" text "${text}")
string(REPLACE "]" "" text "${text}")
string(REGEX MATCHALL "@\\([^)# ]+[)#]" links "${text}")
set(missing)
set(pictures 0)
foreach(link IN LISTS links)
  # "@(target)" or "@(target#": the target.
  string(LENGTH "${link}" length)
  math(EXPR length "${length} - 3")
  string(SUBSTRING "${link}" 2 ${length} target)
  if(target MATCHES "^[a-z]+:")
    continue()
  endif()
  if(target MATCHES "\\.png$")
    math(EXPR pictures "${pictures} + 1")
  endif()
  if(NOT EXISTS "${folder}/${target}")
    list(APPEND missing "${target}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " lines)
  message(FATAL_ERROR "the guide names what is not there (bash scripts/screenshots.sh makes the pictures):\n  ${lines}")
endif()
if(pictures EQUAL 0)
  message(FATAL_ERROR "the guide shows no pictures: the check found no links")
endif()
message(STATUS "${pictures} pictures and every other link of ${GUIDE} are there")

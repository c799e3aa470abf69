# The English catalogue holds every text the window's code gives for translation, each one
# translated, and nothing the code no longer says: lupdate, run over the sources into a copy of
# the catalogue, must leave the copy as it was.
#   cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... -P catalogue-check.cmake
set(catalogue ${SOURCE_DIR}/translations/calyxor_en.ts)
set(copy ${WORK_DIR}/calyxor_en.ts)
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY_FILE ${catalogue} ${copy})
execute_process(
  COMMAND ${LUPDATE} ${SOURCE_DIR}/src/app ${SOURCE_DIR}/src/platform/Dialogs.cpp
          -source-language ru -target-language en -locations none -no-obsolete -silent -ts ${copy}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${status})")
endif()
file(READ ${copy} updated)
file(READ ${catalogue} checked_in)
if(updated MATCHES "type=\"unfinished\"")
  message(FATAL_ERROR "texts without an English translation; run lupdate as above on "
                      "translations/calyxor_en.ts and translate them")
endif()
if(NOT updated STREQUAL checked_in)
  message(FATAL_ERROR "translations/calyxor_en.ts is out of step with the code; run lupdate "
                      "as above on it")
endif()

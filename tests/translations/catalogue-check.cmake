# SPDX-License-Identifier: MIT
# A catalogue holds every text its programs' code gives for translation, each one translated,
# and nothing the code no longer says: lupdate, run over the sources into a copy of the
# catalogue, must leave the copy as it was.
#   cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... [-DCATALOGUE=calyxor-cli_ru.ts] -P this
# The window's catalogue (calyxor_en.ts, the default) gives English for its Russian texts;
# calyxor-cli_ru.ts gives Russian for the English texts of the programs without Qt, which mark
# them with Translated and CALYXOR_TEXT.
if(NOT CATALOGUE)
  set(CATALOGUE calyxor_en.ts)
endif()
if(CATALOGUE STREQUAL "calyxor-cli_ru.ts")
  set(sources src/cli src/sfx src/sfxwin src/stub src/prompt src/cipher src/errors src/config src/ops src/lang)
  set(options -tr-function-alias translate+=Translated,QT_TRANSLATE_NOOP+=CALYXOR_TEXT
              -source-language en -target-language ru)
  set(language Russian)
else()
  set(sources src/app src/platform/Dialogs.cpp)
  set(options -source-language ru -target-language en)
  set(language English)
endif()
set(catalogue ${SOURCE_DIR}/translations/${CATALOGUE})
set(copy ${WORK_DIR}/${CATALOGUE})
set(command ${LUPDATE} ${sources} ${options} -locations none -no-obsolete -silent -ts ${copy})
list(JOIN command " " shown)
file(MAKE_DIRECTORY ${WORK_DIR})
file(COPY_FILE ${catalogue} ${copy})
execute_process(COMMAND ${command} WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${status})")
endif()
file(READ ${copy} updated)
file(READ ${catalogue} checked_in)
if(updated MATCHES "type=\"unfinished\"")
  message(FATAL_ERROR "texts without a ${language} translation; run from the source folder\n"
                      "  ${shown}\non translations/${CATALOGUE} and translate them")
endif()
if(NOT updated STREQUAL checked_in)
  message(FATAL_ERROR "translations/${CATALOGUE} is out of step with the code; run from the "
                      "source folder\n  ${shown}\non it")
endif()

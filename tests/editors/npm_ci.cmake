# Runs `npm ci` in DIR when its node_modules is missing or older than package-lock.json.
set(installed ${DIR}/node_modules/.package-lock.json)
if(EXISTS ${installed} AND NOT ${DIR}/package-lock.json IS_NEWER_THAN ${installed})
    return()
endif()
execute_process(COMMAND ${NPM} ci --no-audit --no-fund WORKING_DIRECTORY ${DIR}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "npm ci in ${DIR} failed: ${result}")
endif()

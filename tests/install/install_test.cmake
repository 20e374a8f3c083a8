# Installs a Vexa build tree into a temporary prefix, builds the consumer project against it
# with find_package(Vexa), runs it, and disassembles its output with the installed vexadis.
# Variables: VEXA_BINARY_DIR, CONSUMER_SOURCE_DIR, CONSUMER_GENERATOR, CONSUMER_CXX_COMPILER,
# CONSUMER_BUILD_TYPE.
if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
    set(temp "$ENV{TMPDIR}")
else()
    set(temp /tmp)
endif()
string(RANDOM LENGTH 10 suffix)
set(work "${temp}/vexa-install-test-${suffix}")
set(prefix "${work}/prefix")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

function(fail text)
    file(REMOVE_RECURSE "${work}")
    message(FATAL_ERROR "${text}")
endfunction()

# Runs a command; fails the test with its output unless it succeeds. The standard output
# is left in `run_output`.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                    ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        fail("command failed (${status}): ${ARGN}\n${output}\n${errors}")
    endif()
    set(run_output "${output}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install "${VEXA_BINARY_DIR}" --prefix "${prefix}")
foreach(file bin/vexasm bin/vexadis bin/vexasim include/vexa/assembler/seq.h
             include/vexa/base/Logging.h include/vexa/sequencer/asmparser/AsmParser.h)
    if(NOT EXISTS "${prefix}/${file}")
        fail("not installed: ${file}")
    endif()
endforeach()

run(${CMAKE_COMMAND} -S "${CONSUMER_SOURCE_DIR}" -B "${work}/build" -G "${CONSUMER_GENERATOR}"
    -DCMAKE_CXX_COMPILER=${CONSUMER_CXX_COMPILER} -DCMAKE_BUILD_TYPE=${CONSUMER_BUILD_TYPE}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build "${work}/build")
run("${work}/build/vexa_consumer")
set(expected "1000000000000000\n1c00000000000000\n0800000000000000\n")
if(NOT run_output STREQUAL expected)
    fail("consumer printed:\n${run_output}\nexpected:\n${expected}")
endif()

file(WRITE "${work}/prog.hex" "${run_output}")
run("${prefix}/bin/vexadis" -l quiet -n "${work}/prog.hex")
if(NOT run_output MATCHES "nop\n +jmp +0x0\n +stop\n")
    fail("installed vexadis printed:\n${run_output}")
endif()

file(REMOVE_RECURSE "${work}")
message(STATUS "installed, found and used the Vexa package")

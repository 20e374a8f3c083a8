# Finds what the vexa Python module needs: Debian's python3 (unless Python_EXECUTABLE names
# another) and pybind11. Sets VEXA_BUILD_PYTHON, and says why when the module is not built.
set(VEXA_BUILD_PYTHON OFF)
if(VEXA_SANITIZE)
    # The interpreter is not instrumented, so an instrumented module cannot be loaded into it.
    message(STATUS "vexa Python module: not built with the sanitizers")
    return()
endif()
if(NOT Python_EXECUTABLE AND EXISTS /usr/bin/python3)
    set(Python_EXECUTABLE /usr/bin/python3 CACHE FILEPATH "Python interpreter for the vexa module")
endif()
find_package(Python 3.9 COMPONENTS Interpreter Development.Module)
if(Python_FOUND)
    set(PYBIND11_FINDPYTHON ON)
    find_package(pybind11 2.6 CONFIG QUIET)
endif()
if(Python_FOUND AND pybind11_FOUND)
    set(VEXA_BUILD_PYTHON ON)
    message(STATUS "vexa Python module: built for ${Python_EXECUTABLE}")
else()
    message(WARNING "vexa Python module: not built, Python ${Python_VERSION} development files "
                    "or pybind11 missing (Debian: apt-get install python3-dev pybind11-dev "
                    "python3-numpy python3-pytest python3-matplotlib)")
endif()

# Run by ctest (cmake -P): builds the consumer program of tests/consumer/app against the
# library and runs it on a method of six entries, whose location on an empty peak list must
# come back with status 15.
#   MODE=installed     installs this build into WORK/prefix, builds the program through
#                      find_package(quan) and again through pkg-config, and runs an installed
#                      tool and the installed Python module;
#   MODE=subdirectory  builds the program with the source tree added by add_subdirectory,
#                      unoptimised and without sanitizers: it checks the packaging, and is quick.

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "failed (${status}): ${command}\n${output}")
  endif()
  set(OUTPUT "${output}" PARENT_SCOPE)
endfunction()

function(check_consumer program)
  run(${program} ${QUAN_METHOD})
  if(NOT OUTPUT MATCHES "entries 6, first [^,]+, status 15")
    message(FATAL_ERROR "${program} answered: ${OUTPUT}")
  endif()
endfunction()

set(configure -G "Unix Makefiles" -DCMAKE_CXX_COMPILER=${QUAN_CXX})
if(QUAN_LAUNCHER)
  list(APPEND configure -DCMAKE_CXX_COMPILER_LAUNCHER=${QUAN_LAUNCHER})
endif()
file(REMOVE_RECURSE ${WORK})

if(MODE STREQUAL "installed")
  set(prefix ${WORK}/prefix)
  run(${CMAKE_COMMAND} --install ${QUAN_BUILD} --prefix ${prefix})
  file(GLOB library ${prefix}/lib*/libquan.so ${prefix}/lib*/*/libquan.so)
  if(NOT library)
    message(FATAL_ERROR "no libquan.so under ${prefix}")
  endif()
  get_filename_component(libdir ${library} DIRECTORY)
  # The link name points at the versioned file, whose SONAME carries the major version.
  file(READ_SYMLINK ${library} linked)
  if(NOT linked MATCHES "^libquan\\.so\\.[0-9]+$" OR NOT EXISTS ${libdir}/${linked})
    message(FATAL_ERROR "libquan.so links to '${linked}', not to libquan.so.<major>")
  endif()
  foreach(header quan/quan.h quan/records/PeakData.h quan/records/PeakFields.def)
    if(NOT EXISTS ${prefix}/include/${header})
      message(FATAL_ERROR "the installed tree lacks include/${header}")
    endif()
  endforeach()

  # Every header of the installed tree includes only headers of the tree (or the system's).
  file(GLOB_RECURSE installed_headers ${prefix}/include/quan/*.h)
  foreach(header ${installed_headers})
    file(STRINGS ${header} includes REGEX "^#include \"")
    get_filename_component(header_dir ${header} DIRECTORY)
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
      if(NOT EXISTS ${prefix}/include/quan/${included} AND NOT EXISTS ${header_dir}/${included})
        message(FATAL_ERROR "${header} includes \"${included}\", which is not in the installed tree")
      endif()
    endforeach()
  endforeach()
  if(NOT EXISTS ${prefix}/include/quan/workflow/batch/BatchSession.h)
    message(FATAL_ERROR "the installed tree lacks the workflow headers")
  endif()

  run(${CMAKE_COMMAND} -S ${QUAN_CONSUMER_APP} -B ${WORK}/cmake ${configure} "-DCMAKE_CXX_FLAGS=${QUAN_FLAGS}"
      -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --build ${WORK}/cmake)
  check_consumer(${WORK}/cmake/quan-consumer)
  run(${WORK}/cmake/quan-workflow-consumer ${QUAN_METHOD})
  if(NOT OUTPUT MATCHES "document entries 6, list settings 0")
    message(FATAL_ERROR "quan-workflow-consumer answered: ${OUTPUT}")
  endif()

  set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
  run(pkg-config --cflags --libs quan)
  separate_arguments(pc_flags UNIX_COMMAND "${OUTPUT}")
  separate_arguments(extra_flags UNIX_COMMAND "${QUAN_FLAGS}")
  run(${QUAN_LAUNCHER} ${QUAN_CXX} ${extra_flags} ${QUAN_CONSUMER_APP}/main.cpp -o ${WORK}/pc-consumer ${pc_flags}
      -Wl,-rpath,${libdir})
  check_consumer(${WORK}/pc-consumer)
  run(pkg-config --cflags --libs quan-workflow)
  separate_arguments(pc_flags UNIX_COMMAND "${OUTPUT}")
  run(${QUAN_LAUNCHER} ${QUAN_CXX} ${extra_flags} ${QUAN_CONSUMER_APP}/workflow.cpp -o ${WORK}/pc-workflow-consumer
      ${pc_flags} -Wl,-rpath,${libdir})
  run(${WORK}/pc-workflow-consumer ${QUAN_METHOD})

  # An installed tool, and the installed Python module, find the installed library by themselves.
  run(${prefix}/bin/quan-method ${QUAN_METHOD})
  if(QUAN_PYTHON_EXE)
    file(GLOB module ${prefix}/lib*/python*/*-packages/quan.*)
    if(NOT module)
      message(FATAL_ERROR "the Python module was not installed under ${prefix}")
    endif()
    get_filename_component(module_dir ${module} DIRECTORY)
    set(preload "")
    if(QUAN_SANITIZE)
      set(preload "LD_PRELOAD=${QUAN_PYTHON_PRELOAD}" "ASAN_OPTIONS=detect_leaks=0")
    endif()
    run(${CMAKE_COMMAND} -E env PYTHONPATH=${module_dir} ${preload}
        ${QUAN_PYTHON_EXE} -c "import quan; assert len(quan.read_method('${QUAN_METHOD}')) == 6")
  endif()
elseif(MODE STREQUAL "subdirectory")
  run(${CMAKE_COMMAND} -S ${QUAN_CONSUMER_APP} -B ${WORK}/build ${configure} -DCMAKE_BUILD_TYPE=
      -DQUAN_SOURCE_TREE=${QUAN_SOURCE})
  run(${CMAKE_COMMAND} --build ${WORK}/build -j 2)
  check_consumer(${WORK}/build/quan-consumer)
else()
  message(FATAL_ERROR "MODE must be installed or subdirectory")
endif()

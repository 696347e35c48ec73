# Installs the build BUILD_DIR into WORK_DIR/prefix, configures and builds the
# consumer project CONSUMER_DIR against it with find_package(Pellory), runs
# its programs, and compiles the consumer once more with the flags of
# pellory.pc.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file include/pellory/engine/Classifier.h include/pellory/framework/Component.h include/pellory/package/Tarnel.h)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "Not installed: ${file}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
foreach(program consumer_shared consumer_static)
  run(${WORK_DIR}/consumer/${program})
  message(STATUS "${program}: ${run_output}")
endforeach()

# pkg-config: the same program built from the flags the .pc file gives.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  file(GLOB_RECURSE pc_files ${prefix}/pellory.pc)
  list(GET pc_files 0 pc_file)
  get_filename_component(pc_dir ${pc_file} DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags --libs pellory)
  string(STRIP "${run_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  get_filename_component(libdir ${pc_dir} DIRECTORY)
  separate_arguments(extra UNIX_COMMAND "${FLAGS}")
  run(${CXX} -std=c++20 ${extra} ${CONSUMER_DIR}/SharedConsumer.cpp ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/pc_consumer)
  run(${WORK_DIR}/pc_consumer)
endif()

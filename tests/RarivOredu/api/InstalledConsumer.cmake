# Installs the speech library from the build tree into a staging folder (DESTDIR), checks its
# installed files, then builds and runs programs outside the tree against them: one through
# find_package(RarivOredu), whose recognition models load through the TorchScript plugin found
# beside the installed libraries, and one through pkg-config. Run with -DBUILD_DIR= -DSTAGING= -DPREFIX= -DCONSUMER_SOURCE= -DWORK=
# -DWRITE_MODELS= -DSPEECH= -DLIBDIR= -DPLUGIN_DIR=.
file(REMOVE_RECURSE "${STAGING}" "${WORK}")
file(MAKE_DIRECTORY "${WORK}/data" "${WORK}/cache")
set(asrFolder "${WORK}/data/RarivOredu/Models/parakeet-tdt-0.6b-v3-coreml")
# The speech library's part of the tree: the platform layer (the TorchScript plugin) and the
# library with its program, as `cmake --install` installs them.
foreach(part Platform RarivOredu)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGING}
                          ${CMAKE_COMMAND} -P ${BUILD_DIR}/${part}/cmake_install.cmake
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(root "${STAGING}${PREFIX}")

foreach(file include/rarivoredu/RarivOredu.h include/rarivoredu/Transcriber.h include/rarivoredu/Version.h
             ${LIBDIR}/cmake/RarivOredu/RarivOreduConfig.cmake ${LIBDIR}/pkgconfig/rarivoredu.pc
             ${LIBDIR}/librarivoredu-core.so ${LIBDIR}/librarivoredu-asr.so.0 ${PLUGIN_DIR}/libplatform_ml_torch.so
             bin/rarivoredu)
  if(NOT EXISTS "${root}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# Only the public headers are installed, and they include nothing of the tree's own.
file(GLOB_RECURSE headers RELATIVE "${root}/include" "${root}/include/*")
foreach(header IN LISTS headers)
  if(NOT header MATCHES "^rarivoredu/[A-Za-z]+\\.h$")
    message(FATAL_ERROR "installed header outside the public API: ${header}")
  endif()
  file(STRINGS "${root}/include/${header}" includes REGEX "#include \"")
  foreach(line IN LISTS includes)
    if(NOT line MATCHES "#include \"rarivoredu/")
      message(FATAL_ERROR "${header} includes a private header: ${line}")
    endif()
  endforeach()
endforeach()

set(environment XDG_DATA_HOME=${WORK}/data XDG_CACHE_HOME=${WORK}/cache RARIVOREDU_TORCH_PLUGIN=)
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_SOURCE} -B ${WORK}/build -G Ninja
                        -DCMAKE_PREFIX_PATH=${root} -DCMAKE_BUILD_TYPE=Release
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
# A recognition model set that hears "hello" in every recording, made by the build tree.
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${WRITE_MODELS} ${asrFolder} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} ${WORK}/build/consumer ${SPEECH}
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE status)
message(STATUS "${output}${errors}")
if(NOT status EQUAL 0 OR NOT output MATCHES "all engines answered")
  message(FATAL_ERROR "the find_package consumer failed (${status})")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${root}/${LIBDIR}/pkgconfig
                        pkg-config --cflags --libs rarivoredu
                OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(flags UNIX_COMMAND "${flags}")
execute_process(COMMAND c++ ${CONSUMER_SOURCE}/pkgconfig.cpp -o ${WORK}/pkgconfig ${flags}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${environment} LD_LIBRARY_PATH=${root}/${LIBDIR} ${WORK}/pkgconfig
                OUTPUT_VARIABLE output RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT output MATCHES "models in ${WORK}/data/RarivOredu/Models")
  message(FATAL_ERROR "the pkg-config consumer failed (${status}): ${output}")
endif()
file(REMOVE_RECURSE "${STAGING}" "${WORK}")

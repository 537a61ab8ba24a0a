# gumbo, the HTML parser the form engine uses, compiled from a Debian source
# package fetched once into QARVEX_GUMBO_DIR (tools/gumbo-source.sh).
#   qarvex_add_gumbo(TARGET ROOT): the static library TARGET, ROOT being the
#   top of the tree.
function(qarvex_add_gumbo target root)
  set(QARVEX_GUMBO_DIR ${root}/build/gumbo CACHE PATH "gumbo sources (src/*.c)")
  if(NOT EXISTS ${QARVEX_GUMBO_DIR}/src/gumbo.h)
    execute_process(COMMAND bash ${root}/tools/gumbo-source.sh ${QARVEX_GUMBO_DIR}
                    RESULT_VARIABLE gumbo_result)
    if(NOT gumbo_result EQUAL 0)
      message(FATAL_ERROR "no gumbo sources in ${QARVEX_GUMBO_DIR} (run tools/setup.sh first)")
    endif()
  endif()
  file(GLOB sources ${QARVEX_GUMBO_DIR}/src/*.c)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} SYSTEM PUBLIC ${QARVEX_GUMBO_DIR}/src)
  target_compile_options(${target} PRIVATE -w)  # its warnings are not ours
endfunction()

# Warnings and sanitizers shared by every target of the project.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
endif()

if(QUOR_SANITIZE)
  list(JOIN QUOR_SANITIZE "," _quor_san)
  add_compile_options(-fsanitize=${_quor_san} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${_quor_san})
  if("undefined" IN_LIST QUOR_SANITIZE)
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# quor_object_library(name sources...): one subsystem of the library.
function(quor_object_library name)
  set(_src ${ARGN})
  if(NOT _src)
    # A subsystem without sources yet still forms a (empty) part of the library.
    set(_src ${PROJECT_BINARY_DIR}/empty_${name}.cpp)
    file(WRITE ${_src} "")
  endif()
  add_library(${name} OBJECT ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sdf/include)
  target_link_libraries(${name} PUBLIC OpenSSL::SSL OpenSSL::Crypto Threads::Threads)
endfunction()

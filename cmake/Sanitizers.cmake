# SANITIZE=address,undefined or SANITIZE=thread adds the sanitizers to every target.
set(SANITIZE "" CACHE STRING "Comma-separated -fsanitize= list (address,undefined or thread)")
if(SANITIZE)
  add_compile_options(-fsanitize=${SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${SANITIZE})
  if(SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()
